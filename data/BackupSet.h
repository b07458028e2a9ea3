#pragma once

#include "Engine.h"

#include <QDateTime>
#include <QList>

// Which backups rotation removes, given when each was taken: all but the newest of each of
// the latest seven days that have one, and the newest of each of the four weeks before the
// week of the oldest of those days. Returns positions into taken.
QList<int> surplusBackups(const QList<QDateTime>& taken);

// The backups of one database file, kept in the folder Backup beside it and named
// <stem>-yyyyMMdd-HHmmss.db after the moment they were taken.
class BackupSet {
  public:
    static constexpr int dailyCopies = 7;
    static constexpr int weeklyCopies = 4;

    explicit BackupSet(const QString& databaseFile);

    const QString& folder() const { return folder_; }
    // A path for a backup taken now that no file holds yet (the folder is made on the way).
    // A label marks copies outside the rotation, such as a file replaced by a restore.
    QString newPath(const QDateTime& now, const QString& label = {}) const;
    bool hasOneFrom(const QDate& day) const;
    // Removes what the rotation no longer keeps; returns the files removed.
    QStringList rotate() const;

  private:
    struct Entry {
        QString path;
        QDateTime taken;
    };
    QList<Entry> entries() const;

    QString folder_;
    QString stem_;
};

struct BackupResult {
    enum Outcome { Made, Cancelled, NotSupported } outcome = Made;
    QString file; // the verified copy, when made
};

// Copies the database behind connection into its backup set, checks the copy, then rotates.
// A copy that fails its check is removed and reported. Throws AppError.
BackupResult backupDatabase(Connection& connection, const QDateTime& now,
                            const ProgressFn& progress = {});
