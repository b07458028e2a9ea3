#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/SqliteBackup.h"
#include "tools/admin/AdminCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

// A backup in <folder>/Backup/<stem>-<date>-<time>.db belongs to <folder>/<stem>.db.
QString databaseOfBackup(const QString& backupFile) {
    const QFileInfo backup(backupFile);
    const QString stem = backup.completeBaseName().section(u'-', 0, -3);
    return QFileInfo(backup.absoluteDir().absolutePath()).dir().filePath(stem + ".db");
}

} // namespace

int runRestore(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() < 1 || args.size() > 2) {
        err << "usage: custdesk-admin restore BACKUPFILE [DATABASE]\n";
        return 2;
    }
    const QString backupFile = args[0];
    const QString databaseFile = args.size() == 2 ? args[1] : databaseOfBackup(backupFile);
    try {
        const QString kept = restoreSqliteBackup(
            backupFile, databaseFile,
            BackupSet(databaseFile).newPath(QDateTime::currentDateTime(), "before-restore"));
        out << "restored " << QDir::toNativeSeparators(databaseFile) << " from "
            << QDir::toNativeSeparators(backupFile) << '\n';
        if (!kept.isEmpty())
            out << "the replaced file is kept as " << QDir::toNativeSeparators(kept) << '\n';
        return 0;
    } catch (const AppError& error) {
        err << "custdesk-admin: " << error.text() << '\n';
        return 1;
    }
}
