#pragma once

// The subcommands of custdesk-admin: each takes its arguments after the subcommand's name and
// returns the process's exit code.

#include <QString>
#include <QStringList>
#include <memory>

class Connection;

struct AdminCommand {
    const char* name;
    const char* usage; // the arguments, as the help lists them
    int (*run)(const QStringList& arguments);
};

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
