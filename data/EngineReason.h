#pragma once

// An engine's own English reason for a failure, told to the operator after a Chinese sentence
// that says what happened and what to do about it.

#include <QString>

enum class FailureKind {
    DiskFull,
    ReadOnly,
    NoPermission,
    CannotOpen,
    DiskError,
    Damaged,
    NoMemory,
    TooBig,
    Other
};

// The Chinese sentence for kind, then the engine's text; the engine's text alone for Other.
QString explainedFailure(FailureKind kind, const QString& engineText);

struct sqlite3;
// The latest failure on db, explained.
QString explainedSqliteError(sqlite3* db);
// What a SQLite result code (primary or extended) means for the operator.
FailureKind sqliteFailureKind(int rc);
// What a server's SQLSTATE means for the operator.
FailureKind serverFailureKind(const QByteArray& sqlState);
