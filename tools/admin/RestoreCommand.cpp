#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/sqlite/SqliteBackup.h"
#include "tools/admin/AdminCommand.h"
#include "tools/admin/AdminCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A backup in <folder>/Backup/<stem>-<date>-<time>[-label].db belongs to <folder>/<stem>.db;
// empty when the name says otherwise.
QString databaseOfBackup(const QString& backupFile) {
    const QFileInfo backup(backupFile);
    static const QRegularExpression named(QStringLiteral("^(.+)-\\d{8}-\\d{6}(-[^.]*)?$"));
    const auto match = named.match(backup.completeBaseName());
    if (!match.hasMatch())
        return {};
    return QFileInfo(backup.absoluteDir().absolutePath()).dir().filePath(match.captured(1) + ".db");
}

} // namespace

int runRestore(const QStringList& given, QTextStream& out, QTextStream& err) {
    QStringList args = given;
    const bool verbose = args.removeAll(QStringLiteral("--verbose")) > 0;
    if (args.size() < 1 || args.size() > 2)
        return kExitUsage;
    const QString backupFile = args[0];
    const QString databaseFile = args.size() == 2 ? args[1] : databaseOfBackup(backupFile);
    // A guessed target must be there: a new file is made only where the owner names it.
    if (args.size() == 1 && !QFileInfo(databaseFile).isFile()) {
        err << "custdesk-admin: 找不到这份备份所属的数据库文件，请写明: custdesk-admin restore "
               "备份文件 数据库文件\n";
        return kExitFailed;
    }
    try {
        const QString kept = restoreSqliteBackup(
            backupFile, databaseFile,
            BackupSet(databaseFile).newPath(QDateTime::currentDateTime(), "before-restore"));
        out << "已用备份 " << QDir::toNativeSeparators(backupFile) << " 恢复数据库 "
            << QDir::toNativeSeparators(databaseFile) << '\n';
        if (!kept.isEmpty())
            out << "原来的数据库文件保留为 " << QDir::toNativeSeparators(kept) << '\n';
        return 0;
    } catch (const BackupRefused& refused) {
        err << "custdesk-admin: " << refused.text() << '\n';
        if (verbose)
            err << refused.details << '\n';
        return kExitFailed;
    } catch (const AppError& error) {
        err << "custdesk-admin: " << error.text() << '\n';
        return kExitFailed;
    }
}
