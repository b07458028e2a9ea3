#pragma once

// Building the program's database on a PostgreSQL server: the SQL helpers the translated
// statements call, the tables of a SQLite database with every row, and the search indexes.

#include <QString>
#include <QStringList>

namespace Pg {

class PgConnection;

// The function a connection reads a new row's key with (in PgHistory.cpp).
extern const char* const lastKeySql;

struct CopyOptions {
    bool force = false; // write into a database that already holds customers
    bool fix = false;   // cut texts longer than their column, empty dates that can't be read
};

struct CopyReport {
    QStringList tables; // "Custom: 12 行" lines, one per table copied
    QStringList notes;  // what was left out and why
    QStringList fixes;  // each value the copy changed, naming its row and field
};

// Copies every table and row of the SQLite database file into the server's database in one
// transaction, checks the copy by counting and comparing, and lets every auto-number continue
// after the highest key. Throws AppError and leaves the server as it was on any failure; values
// the server would refuse are named (table, key, field) before anything is sent, unless the
// options fix them.
CopyReport copyFromSqlite(const QString& sqlitePath, PgConnection& target,
                          const CopyOptions& options = {});

// The delivered database made from the schema's SQL text, then copied as above.
CopyReport initFromSchema(const QString& schemaSql, PgConnection& target,
                          const CopyOptions& options = {});

} // namespace Pg
