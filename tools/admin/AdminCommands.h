#pragma once

#include <QStringList>
#include <QTextStream>

// One subcommand of custdesk-admin: its arguments after the command name, and where to
// print. Returns the process exit code; a new subcommand is one more row in the table.
struct AdminCommand {
    const char* name;
    const char* usage; // the arguments, as the help shows them
    const char* summary;
    int (*run)(const QStringList& args, QTextStream& out, QTextStream& err);
};

// Every subcommand; each lives in a file of its own next to the dispatcher.
int runRestore(const QStringList& args, QTextStream& out, QTextStream& err);
int runInit(const QStringList& args, QTextStream& out);
int runCopy(const QStringList& args, QTextStream& out);
int runOperators(const QStringList& args, QTextStream& out, QTextStream& err);
