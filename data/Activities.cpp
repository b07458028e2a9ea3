#include "Activities.h"

#include "NameFold.h"
#include "Query.h"

#include <QHash>

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

SqlCommand ofCustomer(qint64 custCode, const QString& custName) {
    const QString order = QStringLiteral(" order by AwokeDate desc, ID desc");
    if (custName.isEmpty())
        return {"select * from T_Schedule where CustCode=?" + order, {custCode}};
    return {"select * from T_Schedule where CustCode=? or (CustCode is null and "
            "StrComp(CustName,?,1)=0)" +
                order,
            {custCode, custName}};
}

SqlCommand upcoming(const QString& owner, const QDateTime& now) {
    const QDateTime today(now.date(), QTime(0, 0));
    return {"select * from T_Schedule where StrComp(F_User,?,1)=0 and (Done is null or Done=False) "
            "and AwokeDate<? and (AwokeDate>=? or awoke=True) order by AwokeDate, ID",
            {owner, today.addDays(7), today}};
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

SqlCommand ofCustomer(qint64 custCode, const QString& custName, const Rights& rights) {
    return narrowedFor(ofCustomer(custCode, custName), rights);
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
        {"Awoke", a.awoke && !a.done},
        {"Subject", a.subject},
        {"Content", a.content},
        {"Done", a.done},
        {"DoneTime", a.done && a.doneTime.isValid() ? QVariant(a.doneTime) : QVariant()},
    };
}

QVariantMap doneFields(const QDateTime& when) {
    return {{"Done", true}, {"DoneTime", when}, {"Awoke", false}};
}

QDateTime keptAwokeDate(const QDateTime& original, const QDate& date, const QTime& time) {
    const QTime minute(time.hour(), time.minute());
    if (original.isValid() && original.date() == date &&
        QTime(original.time().hour(), original.time().minute()) == minute)
        return original;
    return QDateTime(date, minute);
}

QString statusText(const Activity& a, const QDate& today) {
    QStringList words;
    if (a.custCode.isNull())
        words << QStringLiteral("未关联");
    if (a.done)
        words << QStringLiteral("已完成");
    else if (a.awoke && a.awokeDate.isValid() && a.awokeDate.date() < today)
        words << QStringLiteral("已过期");
    return words.join(u'、');
}

int dueByTodayCount(Connection& connection, const QString& owner, const QDateTime& now) {
    auto result = connection.query(
        {"select count(*) from T_Schedule where StrComp(F_User,?,1)=0 and awoke=True and "
         "(Done is null or Done=False) and AwokeDate<?",
         {owner, QDateTime(now.date().addDays(1), QTime(0, 0))}});
    return result->next() ? int(result->toInt64(0)) : 0;
}

void renameCustomer(Connection& connection, qint64 custCode, const QString& name) {
    connection.execute({"update T_Schedule set CustName=? where CustCode=?", {name, custCode}});
}

int linkByName(Connection& connection) {
    // The name of a column's cell as the comparison of names sees it.
    const auto nameKey = [](const ResultSet& rows, int column) {
        const std::string_view name = rows.text(column);
        return nameFoldKey(QString::fromUtf8(name.data(), qsizetype(name.size())));
    };
    QHash<QString, qint64> codeOf; // 0: the name is borne by several customers
    {
        auto customers = connection.query({"select CustCode, Company from Custom", {}});
        while (customers->next()) {
            const QString key = nameKey(*customers, 1);
            if (!key.isEmpty())
                codeOf[key] = codeOf.contains(key) ? 0 : customers->toInt64(0);
        }
    }
    std::vector<std::pair<qint64, qint64>> links; // activity, customer
    {
        auto unlinked =
            connection.query({"select ID, CustName from T_Schedule where CustCode is null", {}});
        while (unlinked->next())
            if (const qint64 code = codeOf.value(nameKey(*unlinked, 1)))
                links.emplace_back(unlinked->toInt64(0), code);
    }
    for (const auto& [id, code] : links)
        connection.execute({"update T_Schedule set CustCode=? where ID=?", {code, id}});
    return int(links.size());
}

void settleOlderRows(Connection& connection) {
    if (connection.columnsOf(kTable).isEmpty())
        return;
    linkByName(connection);
    connection.execute({"update T_Schedule set Awoke=False where Done=True", {}});
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
