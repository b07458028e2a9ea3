#include "Statements.h"

#include "AppError.h"

namespace Sql {

SqlCommand loginList() {
    return {"select * from admin where IsUser=True", {}};
}

SqlCommand operatorByName(const QString& name) {
    return {"select * from admin where StrComp(username,?,1)=0", {name}};
}

SqlCommand operatorForPassword(const QString& name) {
    return {"select * from admin where StrComp(UserName,?,1)=0", {name}};
}

SqlCommand operatorByKey(qint64 userId) {
    return {"select * from admin where Userid=?", {userId}};
}

SqlCommand storePassword(qint64 userId, const QString& stored) {
    return {"update admin set password=? where Userid=?", {stored, userId}};
}

SqlCommand softInfo() {
    return {"select * from T_SoftInfo", {}};
}

SqlCommand allCustomers() {
    return {"Select  * from Custom", {}};
}

SqlCommand searchFields() {
    return {"select * from T_Fieldshow where StrComp(tablename,'custom',1)=0", {}};
}

SqlCommand searchFieldLookup(const QString& displayName) {
    return {"select * from T_FieldShow where StrComp(tablename,'Custom',1)=0 and "
            "StrComp(Name,?,1)=0",
            {displayName}};
}

QString customerColumn(Connection& connection, const QString& field) {
    for (const QString& column : connection.columnsOf("Custom"))
        if (!field.isEmpty() && column.compare(field, Qt::CaseInsensitive) == 0)
            return column;
    throw AppError(QString("查询字段 '%1' 不是客户表的字段").arg(field));
}

namespace {

// The keyword is bound and keeps its own wildcards; the engine may narrow by an index. The
// owner column is searched by the operators' names it shows, not by their keys.
SqlCommand customerContains(Connection& connection, const QString& field, const QString& keyword) {
    const QString column = customerColumn(connection, field);
    if (column.compare(QStringLiteral("Owner"), Qt::CaseInsensitive) != 0)
        return connection.containsCondition("Custom", column, keyword);
    SqlCommand named = connection.containsCondition("admin", "username", keyword);
    named.sql = connection.quoteIdentifier(column) + " in (select Userid from admin where " +
                named.sql + ")";
    return named;
}

} // namespace

SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword) {
    SqlCommand contains = customerContains(connection, field, keyword);
    contains.sql.prepend("Select * from Custom where ");
    return contains;
}

SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const QList<std::pair<QString, QString>>& sameAs) {
    SqlCommand command = customerContains(connection, field, keyword);
    command.sql = "Select * from Custom where (" + command.sql + ")";
    for (const auto& [column, value] : sameAs) {
        command.sql += " and " + customerColumn(connection, column) + "=?";
        command.params << value;
    }
    return command;
}

SqlCommand customerFieldTexts(Connection& connection, const QString& field) {
    return {"select CustCode, " + connection.quoteIdentifier(customerColumn(connection, field)) +
                " from Custom",
            {}};
}

SqlCommand customersByCode(const QList<qint64>& codes) {
    QStringList marks(codes.size(), QStringLiteral("?"));
    QVariantList params;
    for (qint64 code : codes)
        params << code;
    return {"Select * from Custom where CustCode in (" + marks.join(',') + ") order by CustCode",
            params};
}

SqlCommand customerByCompany(const QString& name) {
    return {"select * from Custom where StrComp(Company,?,1)=0", {name}};
}

SqlCommand shownLayout(const QString& table) {
    return {"select * from T_FieldShow where show=1 and StrComp(TableName,?,1)=0 order by ShowID",
            {table}};
}

SqlCommand saveLayoutColumn(const QString& table, const QString& field, int position, int width) {
    return {"update T_FieldShow set showid=?,width=? where StrComp(tablename,?,1)=0 and "
            "StrComp(field,?,1)=0",
            {position, width, table, field}};
}

SqlCommand chooserRows(const QString& table, bool shown) {
    return {QString("select * from T_FieldShow where show=%1 and StrComp(TableName,?,1)=0")
                .arg(shown ? 1 : 0),
            {table}};
}

SqlCommand setColumnShown(const QString& table, const QString& name, bool shown) {
    return {QString("update T_FieldShow set show=%1 where StrComp(name,?,1)=0 and "
                    "StrComp(TableName,?,1)=0")
                .arg(shown ? 1 : 0),
            {name, table}};
}

SqlCommand reminders(const QString& currentOperator, const QString& dayText) {
    // The day offset was compared as quoted text; a text that is no whole number lists nothing.
    bool whole = false;
    const qint64 days = dayText.trimmed().toLongLong(&whole);
    return {"select * from T_Schedule where StrComp(F_User,?,1)=0 and awoke=True and "
            "datediff('y',Date(),[AwokeDate])=?",
            {currentOperator, whole ? QVariant(days) : QVariant()}};
}

SqlCommand reminders(Connection& connection, const QString& currentOperator,
                     const QString& dayText) {
    SqlCommand command = reminders(currentOperator, dayText);
    bool whole = false;
    const qint64 days = dayText.trimmed().toLongLong(&whole);
    if (!whole || days < -3650000 || days > 3650000)
        return command;
    const SqlCommand candidates = connection.dayCandidates("T_Schedule", "AwokeDate", days);
    command.sql += " and " + candidates.sql;
    command.params += candidates.params;
    return command;
}

} // namespace Sql

namespace Sql {

SqlCommand customerColumns() {
    return {"select * from Custom where 1=0", {}};
}

SqlCommand customerNames() {
    return {"select CustCode, Company from Custom order by CustCode", {}};
}

SqlCommand insertCustomer(Connection& connection, const QStringList& fields,
                          const QVariantList& values) {
    QStringList names;
    QStringList marks;
    for (const QString& field : fields) {
        names << connection.quoteIdentifier(field);
        marks << QStringLiteral("?");
    }
    return {"insert into Custom (" + names.join(',') + ") values (" + marks.join(',') + ")",
            values};
}

SqlCommand updateCustomer(Connection& connection, const QString& keyField, qint64 id,
                          const QStringList& fields, const QVariantList& values) {
    QStringList sets;
    for (const QString& field : fields)
        sets << connection.quoteIdentifier(field) + "=?";
    QVariantList params = values;
    params << id;
    return {"update Custom set " + sets.join(',') + " where " +
                connection.quoteIdentifier(keyField) + "=?",
            params};
}

} // namespace Sql

namespace Sql {

namespace {

SqlCommand narrowed(SqlCommand command, const Rights& rights) {
    narrow(command, rights.customerScope());
    return command;
}

} // namespace

SqlCommand allCustomers(const Rights& rights) {
    return narrowed(allCustomers(), rights);
}

SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const Rights& rights) {
    return narrowed(customerSearch(connection, field, keyword), rights);
}

SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const QList<std::pair<QString, QString>>& sameAs, const Rights& rights) {
    return narrowed(customerSearch(connection, field, keyword, sameAs), rights);
}

SqlCommand customerFieldTexts(Connection& connection, const QString& field, const Rights& rights) {
    return narrowed(customerFieldTexts(connection, field), rights);
}

SqlCommand customersByCode(const QList<qint64>& codes, const Rights& rights) {
    return narrowed(customersByCode(codes), rights);
}

SqlCommand reminders(Connection& connection, const QString& currentOperator, const QString& dayText,
                     const Rights& rights) {
    SqlCommand command = reminders(connection, currentOperator, dayText);
    narrow(command, rights.customerKeyScope("CustCode"));
    return command;
}

SqlCommand updateCustomer(Connection& connection, const QString& keyField, qint64 id,
                          const QStringList& fields, const QVariantList& values,
                          const Rights& rights) {
    return narrowed(updateCustomer(connection, keyField, id, fields, values), rights);
}

} // namespace Sql
