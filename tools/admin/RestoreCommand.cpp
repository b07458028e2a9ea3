#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/SqliteBackup.h"
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

int runRestore(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() < 1 || args.size() > 2) {
        err << "usage: custdesk-admin restore BACKUPFILE [DATABASE]\n";
        return 2;
    }
    const QString backupFile = args[0];
    const QString databaseFile = args.size() == 2 ? args[1] : databaseOfBackup(backupFile);
    // A guessed target must be there: a new file is made only where the owner names it.
    if (args.size() == 1 && !QFileInfo(databaseFile).isFile()) {
        err << "custdesk-admin: no database belongs to this backup here; name it: restore "
               "BACKUPFILE DATABASE\n";
        return 2;
    }
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
