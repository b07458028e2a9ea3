#pragma once

// What the import and export subcommands of custdesk-admin share: options, the database they
// work on, and their output.

#include <QString>
#include <QStringList>
#include <memory>

class Connection;

// Exit codes: done; something went wrong and nothing was written; the arguments were wrong.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The value after "--name" in arguments, removed from them with the name; def when absent.
QString takeOption(QStringList& arguments, const QString& name, const QString& def = {});

// The database --db names, else the one the program's Config.ini names, else the built-in.
std::unique_ptr<Connection> openAdminDatabase(const QString& dbOption);
QString programDirectory();

void printLine(const QString& text);      // to standard output
void printErrorLine(const QString& text); // to standard error

int importCommand(const QStringList& arguments);
int exportCommand(const QStringList& arguments);
