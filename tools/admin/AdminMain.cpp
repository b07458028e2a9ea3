// custdesk-admin: the program's data tasks from the command line, for scripts, moving data and
// maintenance while no copy of the program is busy.
#include "tools/admin/AdminCommand.h"
#include "tools/admin/AdminCommands.h"

#include "data/AppError.h"
#include "data/ProcessSetup.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// Add a line here for a new subcommand.
const AdminCommand commands[] = {
    {"import",
     "FILE [--on-duplicate skip|update|add] [--skip-bad] [--sheet 名称|序号]\n"
     "         [--encoding auto|utf-8|utf-16|gbk] [--map 文件列=字段 ...] [--db DBCONN]",
     "导入 CSV 或 xlsx 文件中的客户",
     [](const QStringList& a, QTextStream&, QTextStream&) { return importCommand(a); }},
    {"export", "--format xls|xlsx|csv FILE [--db DBCONN]", "按客户列表的显示列导出全部客户",
     [](const QStringList& a, QTextStream&, QTextStream&) { return exportCommand(a); }},
    {"restore", "[--verbose] BACKUPFILE [DATABASE]",
     "把备份放回数据库；不给 DATABASE 时放回备份文件夹所属的数据库", runRestore},
    {"init", "[--force] postgresql://...", "在空的 PostgreSQL 数据库中建立交付的表和数据",
     [](const QStringList& a, QTextStream& out, QTextStream&) { return runInit(a, out); }},
    {"copy", "[--force] [--fix] Custom.db postgresql://...",
     "把 SQLite 数据库的全部表和数据复制到服务器；--fix 截短过长的文字、清空读不懂的日期",
     [](const QStringList& a, QTextStream& out, QTextStream&) { return runCopy(a, out); }},
    {"operators",
     "list | add NAME [--role ROLE] [--must-change] | reset-password NAME [--must-change] | "
     "disable NAME  [--db DBCONN]",
     "列出、添加、停用操作员或重设密码；密码从终端或标准输入读取", runOperators},
};

int usage(QTextStream& err) {
    err << "用法: custdesk-admin 命令 [参数]\n";
    for (const AdminCommand& command : commands)
        err << "  " << command.name << ' ' << command.usage << "\n      " << command.summary
            << '\n';
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return std::puts("custdesk-admin " CUSTDESK_VERSION) < 0;
    prepareProcess();
    // The export lays the list out as the program's grid does, which needs a display of some
    // kind; a script on a server has none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage(err);
    const QString name = args.takeFirst();
    for (const AdminCommand& command : commands)
        if (name == QLatin1String(command.name)) {
            try {
                const int code = command.run(args, out, err);
                return code == kExitUsage ? usage(err) : code;
            } catch (const AppError& e) {
                out.flush();
                err << "失败: " << e.text() << "\n";
                return kExitFailed;
            } catch (const std::exception& e) {
                out.flush();
                err << "失败: " << QString::fromLocal8Bit(e.what()) << "\n";
                return kExitFailed;
            }
        }
    err << "custdesk-admin: 没有命令 '" << name << "'\n";
    return usage(err);
}
