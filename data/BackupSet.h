#pragma once

#include "Engine.h"

#include <QDateTime>
#include <QList>

// Which backups rotation removes, given when each was taken and today's date: all but the
// newest of each of the last seven calendar days (today among them; today also keeps its first,
// the start of the day's copy, beside a later one) and the newest of each of the four calendar
// weeks (Monday to Sunday) before those days; nothing older. Returns positions into taken.
QList<int> surplusBackups(const QList<QDateTime>& taken, const QDate& today);

// The backups of one database file, kept in the folder Backup beside it and named
// <stem>-yyyyMMdd-HHmmss.db after the moment they were taken.
class BackupSet {
  public:
    static constexpr int dailyCopies = 7;
    static constexpr int weeklyCopies = 4;

    explicit BackupSet(const QString& databaseFile);

    const QString& folder() const { return folder_; }
    // A path for a backup taken now that no file holds yet. The folder is made on the way, no
    // more open than the database's own, and cleared of what killed copies left.
    // A label marks copies outside the rotation, such as a file replaced by a restore.
    QString newPath(const QDateTime& now, const QString& label = {}) const;
    bool hasOneFrom(const QDate& day) const;
    // Removes what the rotation no longer keeps on the day today; returns the files removed.
    QStringList rotate(const QDate& today) const;

  private:
    struct Entry {
        QString path;
        QDateTime taken;
    };
    QList<Entry> entries(bool halfWrittenToo = false) const;
    void removeLeftovers() const;

    QString folder_;
    QString databaseFolder_;
    QString stem_;
};

struct BackupResult {
    enum Outcome { Made, Cancelled, NotSupported } outcome = Made;
    QString file; // the verified copy, when made
};

// Copies the database behind connection into its backup set under a partial name, checks the
// copy, gives it its name only then, and rotates. A copy that fails its check is removed and
// reported. Throws AppError.
BackupResult backupDatabase(Connection& connection, const QDateTime& now,
                            const ProgressFn& progress = {});
