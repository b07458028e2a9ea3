#pragma once

// The subcommands of custdesk-admin. Each takes its own arguments, prints what it did and
// returns the exit status; a new subcommand is one more row in the table.

#include <QStringList>
#include <QTextStream>

struct AdminCommand {
    const char* name;
    const char* usage; // arguments, for the help text
    const char* summary;
    int (*run)(const QStringList& args, QTextStream& out);
};

int runInit(const QStringList& args, QTextStream& out);
int runCopy(const QStringList& args, QTextStream& out);
