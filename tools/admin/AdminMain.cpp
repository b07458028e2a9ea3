// custdesk-admin: the owner's maintenance commands, run while no copy of the program is busy.
#include "tools/admin/AdminCommands.h"

#include "data/AppError.h"

#include <QCoreApplication>
#include <iterator>

namespace {

// Add a line here for a new subcommand.
const AdminCommand commands[] = {
    {"restore", "BACKUPFILE [DATABASE]",
     "puts a backup back; DATABASE defaults to the file the backup folder belongs to", runRestore},
    {"init", "[--force] postgresql://...", "在空的 PostgreSQL 数据库中建立交付的表和数据",
     [](const QStringList& a, QTextStream& out, QTextStream&) { return runInit(a, out); }},
    {"copy", "[--force] Custom.db postgresql://...", "把 SQLite 数据库的全部表和数据复制到服务器",
     [](const QStringList& a, QTextStream& out, QTextStream&) { return runCopy(a, out); }},
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
        if (name == QLatin1String(command.name)) {
            try {
                return command.run(args, out, err);
            } catch (const AppError& e) {
                out.flush();
                err << "失败: " << e.text() << "\n";
                return 1;
            }
        }
    err << "custdesk-admin: unknown command '" << name << "'\n";
    return usage(err);
}
