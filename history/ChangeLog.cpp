#include "history/ChangeLog.h"

#include "data/AppError.h"
#include "data/ChangeHistory.h"
#include "data/DisplayFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ChangeLog {

QString cellText(const ResultSet& rows, int column) {
    const std::string_view t = rows.text(column);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

namespace {

QVariant valueOf(const QJsonValue& v) {
    if (v.isString())
        return v.toString();
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == double(qint64(d)) ? QVariant(qint64(d)) : QVariant(d);
    }
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    return {};
}

std::vector<FieldChange> fieldsOf(const QString& json) {
    std::vector<FieldChange> out;
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonArray pair = it.value().toArray();
        out.push_back({it.key(), valueOf(pair.at(0)), valueOf(pair.at(1))});
    }
    return out;
}

QString keyOf(const QString& table) {
    for (const auto& t : ChangeHistory::trackedTables())
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.key;
    return {};
}

} // namespace

std::vector<ChangeRecord> ofCustomer(Connection& connection, qint64 custCode) {
    std::vector<ChangeRecord> out;
    auto rows = connection.query(
        {"SELECT ID, ChangedAt, Who, Host, TableName, RowKey, Action, Changes FROM T_History "
         "WHERE CustCode = ? ORDER BY ID DESC",
         {custCode}});
    while (rows->next()) {
        ChangeRecord r;
        r.id = rows->toInt64(0);
        r.at = parseStoredDateTime(rows->text(1)).value_or(QDateTime());
        r.who = cellText(*rows, 2);
        r.host = cellText(*rows, 3);
        r.table = cellText(*rows, 4);
        r.rowKey = rows->toInt64(5);
        r.action = rows->text(6).empty() ? 'U' : rows->text(6)[0];
        r.fields = fieldsOf(cellText(*rows, 7));
        out.push_back(std::move(r));
    }
    return out;
}

bool canPutBack(const ChangeRecord& record) {
    return record.action == ChangeHistory::Changed &&
           (record.table.compare("Custom", Qt::CaseInsensitive) == 0 ||
            record.table.compare("T_Schedule", Qt::CaseInsensitive) == 0);
}

QStringList putBack(Connection& connection, const ChangeRecord& record) {
    if (!canPutBack(record))
        throw AppError(QStringLiteral("这条记录不能恢复"));
    const QString key = keyOf(record.table);
    QStringList changedSince;
    Transaction transaction(connection);
    for (const FieldChange& f : record.fields) {
        if (f.field.compare(key, Qt::CaseInsensitive) == 0)
            continue;
        const QString column = connection.quoteIdentifier(f.field);
        // Only where the field still holds what this change wrote: a later change is kept.
        const qint64 done =
            connection.execute({"UPDATE " + connection.quoteIdentifier(record.table) + " SET " +
                                    column + " = ? WHERE " + connection.quoteIdentifier(key) +
                                    " = ? AND " + connection.sameValueCondition(column),
                                {f.before, record.rowKey, f.after}});
        if (done == 0)
            changedSince << f.field;
    }
    transaction.commit();
    return changedSince;
}

QString authorText(const ChangeRecord& record) {
    if (record.who.isEmpty())
        return QStringLiteral("（外部程序）");
    return record.host.isEmpty() ? record.who : record.who + "@" + record.host;
}

QHash<QString, QString> fieldTitles(Connection& connection) {
    QHash<QString, QString> titles;
    auto rows = connection.query({"select TableName, Field, Name from T_FieldShow", {}});
    while (rows->next()) {
        const QString list = cellText(*rows, 0).toLower();
        const QString table = list == "schedule" ? QString("t_schedule") : list;
        titles.insert(table + "." + cellText(*rows, 1).toLower(), cellText(*rows, 2));
    }
    return titles;
}

namespace {

QString shown(const QVariant& v) {
    return v.isValid() ? "“" + v.toString() + "”" : QStringLiteral("（空）");
}

QString whatText(const ChangeRecord& r) {
    const bool activity = r.table.compare("T_Schedule", Qt::CaseInsensitive) == 0;
    const QString thing = activity ? QStringLiteral("联系活动#%1").arg(r.rowKey)
                          : r.table.compare("admin", Qt::CaseInsensitive) == 0
                              ? QStringLiteral("操作员")
                              : QStringLiteral("客户");
    switch (r.action) {
    case ChangeHistory::Added:
        return QStringLiteral("新增") + thing;
    case ChangeHistory::Deleted:
        return QStringLiteral("删除") + thing;
    case ChangeHistory::Binned:
        return QStringLiteral("删除") + thing + QStringLiteral("（移入回收站）");
    case ChangeHistory::Restored:
        return QStringLiteral("从回收站恢复") + thing;
    case ChangeHistory::Purged:
        return QStringLiteral("彻底删除") + thing;
    default:
        return QStringLiteral("修改") + thing;
    }
}

} // namespace

QString lineOf(const ChangeRecord& record, const QHash<QString, QString>& fieldNames) {
    QStringList parts;
    for (const FieldChange& f : record.fields) {
        const QString title =
            fieldNames.value(record.table.toLower() + "." + f.field.toLower(), f.field);
        if (record.action == ChangeHistory::Changed)
            parts << title + ": " + shown(f.before) + " → " + shown(f.after);
        else if (record.action == ChangeHistory::Added)
            parts << title + ": " + shown(f.after);
        else if (record.action == ChangeHistory::Deleted)
            parts << title + ": " + shown(f.before);
    }
    QString line = record.at.toString("yyyy-MM-dd HH:mm:ss") + "  " + authorText(record) + "  " +
                   whatText(record);
    if (!parts.isEmpty())
        line += "  " + parts.join(QStringLiteral("；"));
    return line;
}

} // namespace ChangeLog
