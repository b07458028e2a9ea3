#include "Activities.h"

#include "Query.h"

namespace {

const QString kTable = QStringLiteral("T_Schedule");

bool hasColumn(const QStringList& columns, const QString& name) {
    for (const QString& column : columns)
        if (column.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString dueKey(const Activity& activity) {
    return QString::number(activity.id) + u'@' + activity.awokeDate.toString(Qt::ISODate);
}

} // namespace

namespace Activities {

bool upgradeSchema(Connection& connection) {
    const QStringList columns = connection.columnsOf(kTable);
    if (columns.isEmpty())
        return false; // no activities table: nothing of ours to upgrade
    const struct {
        const char *name, *declared, *defaultValue;
        bool notNull;
    } added[] = {
        {"CustCode", "INTEGER", "", false},
        {"Done", "BOOLEAN", "0", true},
        {"DoneTime", "DATETIME", "", false},
    };
    bool changed = false;
    Transaction transaction(connection);
    for (const auto& column : added)
        if (!hasColumn(columns, column.name)) {
            connection.addColumn(kTable, column.name, column.declared, column.defaultValue,
                                 column.notNull);
            changed = true;
        }
    connection.execute(
        {"CREATE INDEX IF NOT EXISTS T_Schedule_CustCode ON T_Schedule (CustCode)", {}});
    transaction.commit();
    return changed;
}

SqlCommand ofCustomer(qint64 custCode) {
    return {"select * from T_Schedule where CustCode=? order by AwokeDate desc, ID desc",
            {custCode}};
}

SqlCommand upcoming(const QString& owner, const QDateTime& from) {
    const QDateTime start(from.date(), QTime(0, 0));
    return {"select * from T_Schedule where StrComp(F_User,?,1)=0 and (Done is null or Done=False) and "
            "AwokeDate>=? and AwokeDate<? order by AwokeDate, ID",
            {owner, start, start.addDays(8)}};
}

SqlCommand byId(qint64 id) {
    return {"select * from T_Schedule where ID=?", {id}};
}

SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until) {
    return {"select * from T_Schedule where StrComp(F_User,?,1)=0 and awoke=True and "
            "(Done is null or Done=False) and AwokeDate>? and AwokeDate<=? order by AwokeDate",
            {owner, after, until}};
}

namespace {

SqlCommand narrowedFor(SqlCommand command, const Rights& rights) {
    narrow(command, rights.customerKeyScope("CustCode"));
    if (!rights.may(Permission::SeeOthersActivities))
        narrow(command, {"StrComp(F_User,?,1)=0", {rights.operatorName()}});
    return command;
}

} // namespace

SqlCommand ofCustomer(qint64 custCode, const Rights& rights) {
    return narrowedFor(ofCustomer(custCode), rights);
}

SqlCommand upcoming(const QString& owner, const QDateTime& from, const Rights& rights) {
    return narrowedFor(upcoming(owner, from), rights);
}

SqlCommand byId(qint64 id, const Rights& rights) {
    return narrowedFor(byId(id), rights);
}

SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until,
                      const Rights& rights) {
    return narrowedFor(fallingDue(owner, after, until), rights);
}

QVariantMap fieldsOf(const Activity& a) {
    return {
        {"CustCode", a.custCode},
        {"CustName", a.custName},
        {"F_User", a.owner},
        {"AwokeDate", a.awokeDate.isValid() ? QVariant(a.awokeDate) : QVariant()},
        {"Awoke", a.awoke},
        {"Subject", a.subject},
        {"Content", a.content},
        {"Done", a.done},
        {"DoneTime", a.done && a.doneTime.isValid() ? QVariant(a.doneTime) : QVariant()},
    };
}

int countOfCustomer(Connection& connection, qint64 custCode) {
    auto result =
        connection.query({"select count(*) from T_Schedule where CustCode=?", {custCode}});
    return result->next() ? int(result->toInt64(0)) : 0;
}

void removeOfCustomer(Connection& connection, qint64 custCode) {
    connection.execute({"delete from T_Schedule where CustCode=?", {custCode}});
}

} // namespace Activities

std::vector<Activity> DueTracker::take(const std::vector<Activity>& rows, const QDateTime& now) {
    std::vector<Activity> fresh;
    for (const Activity& activity : rows)
        if (!announced_.contains(dueKey(activity))) {
            announced_.insert(dueKey(activity));
            fresh.push_back(activity);
        }
    last_ = now;
    return fresh;
}

Activity activityAt(const Query& query, int row) {
    const auto cell = [&](const char* name) {
        const int f = query.findField(QString::fromLatin1(name));
        return f < 0 ? QVariant() : query.value(row, f);
    };
    Activity a;
    a.id = cell("ID").toLongLong();
    a.custCode = cell("CustCode");
    a.custName = cell("CustName").toString();
    a.owner = cell("F_User").toString();
    a.awokeDate = cell("AwokeDate").toDateTime();
    a.awoke = cell("Awoke").toBool();
    a.subject = cell("Subject").toString();
    a.content = cell("Content").toString();
    a.done = cell("Done").toBool();
    a.doneTime = cell("DoneTime").toDateTime();
    return a;
}

std::vector<Activity> readActivities(Connection& connection, const SqlCommand& command) {
    Query query(QStringLiteral("Qry_Activity"), &connection);
    query.setCommand(command);
    query.open();
    std::vector<Activity> rows;
    rows.reserve(size_t(query.recordCount()));
    for (int row = 0; row < query.recordCount(); ++row)
        rows.push_back(activityAt(query, row));
    return rows;
}
