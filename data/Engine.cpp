#include "Engine.h"

#include "ChangeHistory.h"
#include "Migrations.h"
#include "data/sqlite/SqliteEngine.h"
#include "postgres/PgEngine.h"

void ResultSet::readRow(CellValue* cells) const {
    for (int i = 0; i < columnCount(); ++i) {
        CellValue& cell = cells[i];
        cell.type = type(i);
        switch (cell.type) {
        case CellType::Integer:
            cell.integer = toInt64(i);
            break;
        case CellType::Float:
            cell.real = toDouble(i);
            break;
        case CellType::Text:
        case CellType::Blob:
            cell.text = text(i);
            break;
        case CellType::Null:
            break;
        }
    }
}

Transaction::~Transaction() {
    if (done_)
        return;
    try {
        connection_.rollback();
    } catch (...) {
        // Leaving by an exception already: the first error is the one to report.
    }
}

void Transaction::commit() {
    connection_.commit();
    done_ = true;
}

SqlCommand Connection::containsCondition(const QString&, const QString& column,
                                         const QString& keyword) {
    return {quoteIdentifier(column) + " like ?", {"%" + keyword + "%"}};
}

SqlCommand Connection::dayCandidates(const QString&, const QString&, qint64) {
    return {"1=1", {}};
}

void Connection::addColumn(const QString& table, const QString& column, const QString& declared,
                           const QString& defaultValue, bool notNull) {
    QString sql = "ALTER TABLE " + quoteIdentifier(table) + " ADD COLUMN " +
                  quoteIdentifier(column) + " " + declared;
    if (notNull)
        sql += " NOT NULL";
    if (!defaultValue.isEmpty())
        sql += " DEFAULT " + defaultValue;
    execute({sql, {}});
    // A binned customer keeps the new field's value too, so a restore gives it back whole.
    if (table.compare(QStringLiteral("Custom"), Qt::CaseInsensitive) == 0) {
        const QStringList binned = columnsOf(ChangeHistory::customerBin);
        if (!binned.isEmpty() && !binned.contains(column, Qt::CaseInsensitive))
            execute({"ALTER TABLE " + quoteIdentifier(ChangeHistory::customerBin) + " ADD COLUMN " +
                         quoteIdentifier(column) + " " + declared,
                     {}});
    }
    // Triggers that name their columns learn of the new one, so its changes are recorded too.
    if (!columnsOf(ChangeHistory::historyTable).isEmpty())
        installChangeHistory();
}

void Connection::dropColumn(const QString& table, const QString& column) {
    execute(
        {"ALTER TABLE " + quoteIdentifier(table) + " DROP COLUMN " + quoteIdentifier(column), {}});
}

// Named after its table and column, so the index of a column is found again to drop it.
void Connection::createValueIndex(const QString& table, const QString& column) {
    execute({"CREATE INDEX IF NOT EXISTS " + quoteIdentifier(table + "_" + column) + " ON " +
                 quoteIdentifier(table) + " (" + quoteIdentifier(column) + ")",
             {}});
}

void Connection::dropValueIndex(const QString& table, const QString& column) {
    execute({"DROP INDEX IF EXISTS " + quoteIdentifier(table + "_" + column), {}});
}

QString Connection::columnDeclaration(const NewColumn& column) const {
    QString sql = quoteIdentifier(column.name) + " " + column.declared;
    const QString upper = column.declared.toUpper();
    if (upper.contains("CHAR") || upper.contains("TEXT") || upper.contains("MEMO"))
        sql += " COLLATE NOCASE"; // as every delivered text column compares
    if (column.notNull)
        sql += " NOT NULL";
    if (!column.defaultValue.isEmpty())
        sql += " DEFAULT " + column.defaultValue;
    return sql;
}

void Connection::createTable(const QString& table, const QString& keyColumn,
                             const QList<NewColumn>& columns) {
    QStringList parts{quoteIdentifier(keyColumn) + " INTEGER PRIMARY KEY AUTOINCREMENT"};
    for (const NewColumn& column : columns)
        parts << columnDeclaration(column);
    execute({"CREATE TABLE IF NOT EXISTS " + quoteIdentifier(table) + " (" + parts.join(", ") + ")",
             {}});
}

std::unique_ptr<Connection> openDatabase(const QString& connString, BusyWaiter* waiter) {
    // A server URI names a shared server; anything else is a database file, as always.
    if (Pg::isPostgresUri(connString))
        return migrated(Pg::openPostgresDatabase(connString));
    SqliteOpenOptions options;
    options.waiter = waiter;
    return migrated(openSqliteDatabase(connString, options));
}
