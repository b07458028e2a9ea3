// The change history's triggers on the embedded engine. SQLite has no session settings a
// trigger could read, and a function of the program's own would make every change by the
// sqlite3 tool fail, so the stored triggers write who and where as Null, and a connection of
// the program fills them in for its own rows with a temporary trigger only it has.

#include "SqliteEngine.h"
#include "data/ChangeHistory.h"

#include <QStringList>

namespace {

QString literal(const QString& text) {
    return '\'' + QString(text).replace('\'', "''") + '\'';
}

const char* const now = "strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')";

struct Columns {
    QStringList names; // quoted
    QStringList plain;
};

// The recorded columns of a table: all but the secret ones and those JSON cannot hold.
Columns recordedColumns(SqliteConnection& c, const QString& table) {
    Columns out;
    auto rows = c.query({"SELECT name, type FROM pragma_table_info(?)", {table}});
    while (rows->next()) {
        const QString name =
            QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
        const QString type =
            QString::fromUtf8(rows->text(1).data(), qsizetype(rows->text(1).size()));
        if (ChangeHistory::isSecret(name) || type.contains("BLOB", Qt::CaseInsensitive))
            continue;
        out.names << c.quoteIdentifier(name);
        out.plain << name;
    }
    return out;
}

// The fields as rows (k, o, n) for json_group_object; a VALUES list cannot be used, since
// the engine does not name its columns inside a trigger.
QString fieldRows(const Columns& columns, bool withOld, bool withNew) {
    QStringList rows;
    for (qsizetype i = 0; i < columns.names.size(); ++i)
        rows << "SELECT " + literal(columns.plain[i]) + " AS k, " +
                    (withOld ? "OLD." + columns.names[i] : QString("NULL")) + " AS o, " +
                    (withNew ? "NEW." + columns.names[i] : QString("NULL")) + " AS n";
    return "(" + rows.join(" UNION ALL ") + ")";
}

// The changed fields, compared byte for byte: a change of letter case is a change.
QString fieldsJson(const Columns& columns, bool withOld, bool withNew) {
    return "(SELECT json_group_object(k, json_array(o, n)) FROM " +
           fieldRows(columns, withOld, withNew) +
           " WHERE o IS NOT n COLLATE BINARY HAVING count(*) > 0)";
}

} // namespace

void SqliteConnection::installChangeHistory() {
    using namespace ChangeHistory;
    run("CREATE TABLE IF NOT EXISTS T_History (ID INTEGER PRIMARY KEY, ChangedAt DATETIME NOT "
        "NULL, Who VARCHAR(50), Host VARCHAR(100), TableName VARCHAR(20) NOT NULL, RowKey "
        "INTEGER NOT NULL, CustCode INTEGER, Action VARCHAR(1) NOT NULL, Changes MEMO)");
    run("CREATE INDEX IF NOT EXISTS T_History_CustCode ON T_History (CustCode, ID)");
    for (const TrackedTable& t : trackedTables()) {
        for (const char* op : {"I", "U", "D"})
            run(QString("DROP TRIGGER IF EXISTS T_History_%1_%2").arg(t.name, op).toUtf8());
        const Columns columns = recordedColumns(*this, t.name);
        if (columns.names.isEmpty())
            continue;
        const QString table = quoteIdentifier(t.name), key = quoteIdentifier(t.key);
        const bool hasCustomer = !t.customer.isEmpty() && columns.plain.contains(t.customer);
        const QString custColumn = quoteIdentifier(t.customer);
        const bool marksBin = !t.bin.isEmpty() && !t.binnedSilent;
        auto inBin = [&](const QString& row) {
            return QString("EXISTS (SELECT 1 FROM %1 WHERE %2 = %3.%2)")
                .arg(quoteIdentifier(t.bin), key, row);
        };
        // One record: the row's key and customer, the action, the changed fields (none: none).
        auto record = [&](const QString& row, const QString& customer, const QString& action,
                          const QString& changes) {
            return QString("INSERT INTO T_History (ChangedAt, TableName, RowKey, CustCode, "
                           "Action, Changes) SELECT %1, %2, %3.%4, %5, %6, c FROM (SELECT %7 AS "
                           "c) WHERE c IS NOT NULL")
                .arg(now, literal(t.name), row, key, hasCustomer ? customer : "NULL", action,
                     changes);
        };
        auto wholeRow = [&](const QString& row, char plain, char binned) {
            const QString fields = fieldsJson(columns, row == "OLD", row == "NEW");
            if (!marksBin)
                return record(row, row + "." + custColumn, literal(QString(plain)), fields);
            // A customer moved into or out of the bin: its fields are in the bin.
            return record(row, row + "." + custColumn,
                          QString("CASE WHEN %1 THEN '%2' ELSE '%3' END")
                              .arg(inBin(row), QString(binned), QString(plain)),
                          QString("CASE WHEN %1 THEN '{}' ELSE %2 END").arg(inBin(row), fields));
        };
        // Activities moved with their customer leave no record: the customer's tells it.
        auto unlessBinned = [&](const QString& row) {
            return !t.bin.isEmpty() && t.binnedSilent ? " WHEN NOT " + inBin(row) : QString();
        };
        run(QString("CREATE TRIGGER T_History_%1_I AFTER INSERT ON %2%3 BEGIN %4; END")
                .arg(t.name, table, unlessBinned("NEW"), wholeRow("NEW", Added, Restored))
                .toUtf8());
        run(QString("CREATE TRIGGER T_History_%1_U AFTER UPDATE ON %2 BEGIN %3; END")
                .arg(t.name, table,
                     record("NEW", QString("coalesce(NEW.%1, OLD.%1)").arg(custColumn), "'U'",
                            fieldsJson(columns, true, true)))
                .toUtf8());
        run(QString("CREATE TRIGGER T_History_%1_D AFTER DELETE ON %2%3 BEGIN %4; END")
                .arg(t.name, table, unlessBinned("OLD"), wholeRow("OLD", Deleted, Binned))
                .toUtf8());
    }
    // A customer leaving the bin for good, not back to the list.
    run("DROP TRIGGER IF EXISTS T_History_Custom_Bin_D");
    if (!columnsOf(customerBin).isEmpty())
        run(QString("CREATE TRIGGER T_History_Custom_Bin_D AFTER DELETE ON Custom_Bin WHEN NOT "
                    "EXISTS (SELECT 1 FROM Custom WHERE CustCode = OLD.CustCode) BEGIN INSERT INTO "
                    "T_History (ChangedAt, TableName, RowKey, CustCode, Action, Changes) VALUES "
                    "(%1, 'Custom', OLD.CustCode, OLD.CustCode, 'P', json_object('Company', "
                    "json_array(OLD.Company, NULL))); END")
                .arg(now)
                .toUtf8());
    applyAuthor();
}

// The history's triggers name every column, and the engine refuses to drop one they name:
// they go first and come back without it.
void SqliteConnection::dropColumn(const QString& table, const QString& column) {
    const bool recorded = !columnsOf(ChangeHistory::historyTable).isEmpty();
    if (recorded)
        for (const ChangeHistory::TrackedTable& t : ChangeHistory::trackedTables())
            for (const char* op : {"I", "U", "D"})
                run(QString("DROP TRIGGER IF EXISTS T_History_%1_%2").arg(t.name, op).toUtf8());
    Connection::dropColumn(table, column);
    if (recorded)
        installChangeHistory();
}

void SqliteConnection::applyAuthor() {
    run("DROP TRIGGER IF EXISTS temp.T_History_Author");
    if (author().who.isEmpty() || columnsOf(ChangeHistory::historyTable).isEmpty())
        return;
    run(QString("CREATE TEMP TRIGGER T_History_Author AFTER INSERT ON main.T_History WHEN NEW.Who "
                "IS NULL BEGIN UPDATE T_History SET Who = %1, Host = %2 WHERE ID = NEW.ID; END")
            .arg(literal(author().who), literal(author().host))
            .toUtf8());
}
