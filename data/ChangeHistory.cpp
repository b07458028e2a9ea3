#include "ChangeHistory.h"

#include <QRegularExpression>
#include <algorithm>

namespace ChangeHistory {

const std::vector<TrackedTable>& trackedTables() {
    static const std::vector<TrackedTable> tables = {
        {"Custom", "CustCode", "CustCode", customerBin, false},
        {"T_Schedule", "ID", "CustCode", activityBin, true},
        {"admin", "Userid", "", "", false},
    };
    return tables;
}

bool isSecret(const QString& column) {
    static const QRegularExpression secret("pass|salt|hash",
                                           QRegularExpression::CaseInsensitiveOption);
    return secret.match(column).hasMatch();
}

namespace {

// A column's type as the delivered schema declares types; each engine reads it as its own.
QString declaredType(const ColumnInfo& column) {
    switch (column.kind) {
    case FieldKind::Integer:
    case FieldKind::AutoInc:
        return "INTEGER";
    case FieldKind::LargeInt:
        return "BIGINT";
    case FieldKind::Float:
        return "DOUBLE";
    case FieldKind::Currency:
        return "CURRENCY";
    case FieldKind::Decimal:
        return "DECIMAL";
    case FieldKind::Memo:
        return "MEMO";
    case FieldKind::DateTime:
        return "DATETIME";
    case FieldKind::Boolean:
        return "BOOLEAN";
    case FieldKind::Bytes:
        return "BLOB";
    case FieldKind::Text:
        break;
    }
    return column.size > 0 ? QString("VARCHAR(%1)").arg(column.size) : QString("MEMO");
}

} // namespace

void mirrorColumns(Connection& connection, const QString& source, const QString& bin) {
    QStringList have;
    for (const QString& c : connection.columnsOf(bin))
        have << c.toLower();
    // The names are known without a statement; only a missing column's type needs one.
    const QStringList sourceColumns = connection.columnsOf(source);
    if (std::all_of(sourceColumns.begin(), sourceColumns.end(),
                    [&](const QString& c) { return have.contains(c.toLower()); }))
        return;
    auto rows = connection.query(
        {"select * from " + connection.quoteIdentifier(source) + " where 1=0", {}});
    for (int i = 0; i < rows->columnCount(); ++i) {
        const ColumnInfo& c = rows->column(i);
        if (!have.contains(c.name.toLower()))
            connection.addColumn(bin, c.name, declaredType(c), {}, false);
    }
}

void createBins(Connection& connection) {
    const auto q = [&](const QString& name) { return connection.quoteIdentifier(name); };
    connection.execute({"CREATE TABLE IF NOT EXISTS " + q(customerBin) + " (" + q("CustCode") +
                            " INTEGER PRIMARY KEY, " + q("BinnedAt") + " DATETIME NOT NULL, " +
                            q("BinnedBy") + " VARCHAR(50), " + q("BinnedHost") + " VARCHAR(100))",
                        {}});
    connection.execute({"CREATE TABLE IF NOT EXISTS " + q(activityBin) + " (" + q("ID") +
                            " INTEGER PRIMARY KEY, " + q("BinnedAt") + " DATETIME NOT NULL)",
                        {}});
    mirrorColumns(connection, "Custom", customerBin);
    if (!connection.columnsOf("T_Schedule").isEmpty()) {
        mirrorColumns(connection, "T_Schedule", activityBin);
        connection.execute({"CREATE INDEX IF NOT EXISTS " + q(activityBin + "_CustCode") + " ON " +
                                q(activityBin) + " (" + q("CustCode") + ")",
                            {}});
    }
}

} // namespace ChangeHistory
