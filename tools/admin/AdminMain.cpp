// custdesk-admin: the owner's maintenance commands, run while no copy of the program is busy.
#include "tools/admin/AdminCommands.h"

#include <QCoreApplication>
#include <iterator>

namespace {

// Add a line here for a new subcommand.
const AdminCommand commands[] = {
    {"restore", "BACKUPFILE [DATABASE]",
     "puts a backup back; DATABASE defaults to the file the backup folder belongs to", runRestore},
};

int usage(QTextStream& err) {
    err << "usage: custdesk-admin COMMAND [ARGS]\n";
    for (const AdminCommand& command : commands)
        err << "  " << command.name << ' ' << command.usage << "\n      " << command.summary
            << '\n';
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(err);
    const QString name = args.takeFirst();
    for (const AdminCommand& command : commands)
        if (name == QLatin1String(command.name))
            return command.run(args, out, err);
    err << "custdesk-admin: unknown command '" << name << "'\n";
    return usage(err);
}
