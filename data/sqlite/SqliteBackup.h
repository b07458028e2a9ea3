#pragma once

// File copies of a SQLite database through SQLite's own backup API, which copies a live file
// safely while other connections read and write it.

#include "data/AppError.h"
#include "data/Engine.h"

struct sqlite3;

// What PRAGMA integrity_check finds in a database file, or why the file can't be read as one;
// empty when the file is sound.
QString sqliteFileProblems(const QString& path);

// Copies every page of source's main database into the new file target as one consistent
// snapshot; pagesPerStep sets how often progress hears. The file carries permissions (those of
// source's file when negative) from its first byte. False when cancelled; target is gone then
// and after a failure. Throws AppError.
bool copySqliteDatabase(sqlite3* source, const QString& target, const ProgressFn& progress,
                        int pagesPerStep = 256, int permissions = -1);

// A backup refused because it is damaged: the text says so in a line or two, details holds
// everything the check found.
class BackupRefused : public AppError {
  public:
    BackupRefused(const QString& text, QString details)
        : AppError(text), details(std::move(details)) {}
    QString details;
};

// Puts a backup back in place of the database file. Refuses (BackupRefused) a backup that is
// not a sound database of this program, and (AppError) a database file someone else has open.
// The restored file is made beside the database, checked, and renamed over it, so a killed
// restore leaves the old database or the restored one; the replaced file is kept as keptFile
// first (its path is returned, empty when there was none). Throws AppError.
QString restoreSqliteBackup(const QString& backupFile, const QString& databaseFile,
                            const QString& keptFile);
