// custdesk-admin: tasks around the program's database that have no place in its windows.

#include "AdminCommands.h"
#include "data/AppError.h"

#include <QCoreApplication>
#include <cstring>

namespace {

const AdminCommand commands[] = {
    {"init", "[--force] postgresql://...", "在空的 PostgreSQL 数据库中建立交付的表和数据", runInit},
    {"copy", "[--force] Custom.db postgresql://...", "把 SQLite 数据库的全部表和数据复制到服务器",
     runCopy},
};

int usage(QTextStream& out) {
    out << "用法: custdesk-admin <命令> [参数]\n";
    for (const AdminCommand& c : commands)
        out << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
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
    for (const AdminCommand& c : commands)
        if (name == QLatin1String(c.name)) {
            try {
                return c.run(args, out);
            } catch (const AppError& e) {
                out.flush();
                err << "失败: " << e.text() << "\n";
                return 1;
            }
        }
    return usage(err);
}
