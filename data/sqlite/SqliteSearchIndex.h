#pragma once

// The customer table's substring index on SQLite: an FTS5 trigram table over the short text
// columns, kept in step by triggers (so every copy of the program, and any other tool writing
// the file, keeps it right), and the search condition that narrows a LIKE through it.

#include "data/Engine.h"

#include <optional>

namespace SqliteSearchIndex {

// Builds the index, its triggers and its contents when the database has none. A database
// without a customer table, or without an integer key to follow its rows by, gets none.
void create(Connection& connection);
// Drops and builds the index anew: the way back from rows written past the triggers.
void rebuild(Connection& connection);
// The LIKE condition on the column narrowed to the index's candidates, or nothing when the
// index cannot narrow it (no index, column not indexed, no literal run of three characters).
std::optional<SqlCommand> containsCondition(Connection& connection, const QString& table,
                                            const QString& column, const QString& keyword);

} // namespace SqliteSearchIndex
