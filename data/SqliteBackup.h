#pragma once

// File copies of a SQLite database through SQLite's own backup API, which copies a live file
// safely while other connections read and write it.

#include "Engine.h"

struct sqlite3;

// What PRAGMA integrity_check finds in a database file, or why the file can't be read as one;
// empty when the file is sound.
QString sqliteFileProblems(const QString& path);

// Copies every page of source's main database into the file target (created when missing,
// overwritten otherwise) as one consistent snapshot; pagesPerStep sets how often progress hears.
// False when cancelled. Throws AppError.
bool copySqliteDatabase(sqlite3* source, const QString& target, const ProgressFn& progress,
                        int pagesPerStep = 256);

// Puts a backup back in place of the database file: refuses a backup that is not a sound
// database of this program, and a database file someone else has open; keeps the replaced file as one more backup (its path is returned)
// and checks the result. Throws AppError.
QString restoreSqliteBackup(const QString& backupFile, const QString& databaseFile,
                            const QString& keptFile);
