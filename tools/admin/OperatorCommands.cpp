// custdesk-admin operators: for a shop that has locked itself out of the operator window.
#include "data/AppError.h"
#include "data/Engine.h"
#include "data/Passwords.h"
#include "data/Roles.h"
#include "data/SettingsFile.h"
#include "operators/OperatorStore.h"
#include "tools/admin/AdminCommand.h"
#include "tools/admin/AdminCommands.h"

#include <QDir>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

// One line of standard input, without its line end; echo is off while a terminal types it.
QString readSecretLine(const char* prompt, QTextStream& err) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        err << prompt;
        err.flush();
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line += char(c);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        err << '\n';
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// Asked twice at a terminal, so a slip of the finger does not lock the shop out again.
QString readNewPassword(QTextStream& err) {
    const QString password = readSecretLine("新密码: ", err);
    if (isatty(STDIN_FILENO) && readSecretLine("再输入一次: ", err) != password)
        throw AppError(QStringLiteral("两次输入的密码不一致，没有修改。"));
    return password;
}

OperatorRow named(OperatorStore& store, const QString& name) {
    if (const auto row = store.find(name))
        return *row;
    throw AppError(QStringLiteral("没有名为“%1”的操作员。").arg(name));
}

void list(OperatorStore& store, QTextStream& out) {
    out << "名称\t角色\t状态\t最后登录\n";
    for (const OperatorRow& row : store.operators())
        out << row.name << '\t'
            << (row.roleName.isEmpty() ? QStringLiteral("无角色") : row.roleName) << '\t'
            << (row.enabled ? QStringLiteral("启用") : QStringLiteral("停用")) << '\t'
            << (row.lastLogin.isValid() ? row.lastLogin.toString("yyyy-MM-dd HH:mm:ss")
                                        : QStringLiteral("-"))
            << '\n';
}

} // namespace

int runOperators(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QStringList args = arguments;
    const QString db = takeOption(args, "--db");
    const QString roleName = takeOption(args, "--role", Roles::salespersonRoleName());
    const bool mustChange = args.removeAll("--must-change") > 0;
    if (args.isEmpty())
        return kExitUsage;
    const QString action = args.takeFirst();
    if ((action == "list") != args.isEmpty() || args.size() > 1)
        return kExitUsage;
    auto connection = openAdminDatabase(db);
    OperatorStore store(*connection);
    store.keepPlainPasswords =
        keepsPlainPasswords(SettingsFile(QDir(programDirectory()).filePath("Config.ini")));
    if (action == "list") {
        list(store, out);
    } else if (action == "add") {
        if (const QString problem = OperatorStore::nameProblem(args[0]); !problem.isEmpty())
            throw AppError(problem);
        const qint64 role = store.roleIdByName(roleName);
        store.add(args[0], role, readNewPassword(err), mustChange);
        out << "已添加操作员 " << args[0] << "（" << roleName << "）\n";
    } else if (action == "reset-password") {
        const OperatorRow row = named(store, args[0]);
        store.resetPassword(row.key, readNewPassword(err), mustChange);
        out << "已重设 " << row.name << " 的密码\n";
    } else if (action == "disable") {
        const OperatorRow row = named(store, args[0]);
        store.setEnabled(row.key, false);
        out << "已停用操作员 " << row.name << '\n';
    } else {
        return kExitUsage;
    }
    return kExitDone;
}
