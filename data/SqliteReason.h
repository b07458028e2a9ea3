#pragma once

// The engine's own English reason for a failure, told to the operator after a Chinese sentence
// that says what happened and what to do about it.

#include <QString>

struct sqlite3;

// The reason for result code rc (primary or extended) with the engine's text after it; the
// engine's text alone for codes that need no more.
QString explainedSqliteError(int rc, const QString& engineText);
// The same for the latest failure on db.
QString explainedSqliteError(sqlite3* db);
