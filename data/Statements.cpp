#include "Statements.h"

#include "AppError.h"

namespace Sql {

SqlCommand loginList() {
    return {"select * from admin where IsUser=True", {}};
}

SqlCommand operatorByName(const QString& name) {
    return {"select * from admin where username=?", {name}};
}

SqlCommand operatorForPassword(const QString& name) {
    return {"select * from admin where UserName=?", {name}};
}

SqlCommand softInfo() {
    return {"select * from T_SoftInfo", {}};
}

SqlCommand allCustomers() {
    return {"Select  * from Custom", {}};
}

SqlCommand searchFields() {
    return {"select * from T_Fieldshow where tablename='custom'", {}};
}

SqlCommand searchFieldLookup(const QString& displayName) {
    return {"select * from T_FieldShow where tablename='Custom' and Name=?", {displayName}};
}

SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword) {
    // The field comes from the layout table, so it is checked against the real columns and
    // quoted; the keyword is bound and keeps its own wildcards.
    for (const QString& column : connection.columnsOf("Custom"))
        if (!field.isEmpty() && column.compare(field, Qt::CaseInsensitive) == 0)
            return {"Select * from Custom where " + connection.quoteIdentifier(column) + " like ?",
                    {"%" + keyword + "%"}};
    throw AppError(QString("查询字段 '%1' 不是客户表的字段").arg(field));
}

SqlCommand customerByCompany(const QString& name) {
    return {"select * from Custom where Company=?", {name}};
}

SqlCommand shownLayout(const QString& table) {
    return {"select * from T_FieldShow where show=1 and TableName=? order by ShowID", {table}};
}

SqlCommand saveLayoutColumn(const QString& table, const QString& field, int position, int width) {
    return {"update T_FieldShow set showid=?,width=? where tablename=? and field=?",
            {position, width, table, field}};
}

SqlCommand chooserRows(const QString& table, bool shown) {
    return {QString("select * from T_FieldShow where show=%1 and TableName=?").arg(shown ? 1 : 0),
            {table}};
}

SqlCommand setColumnShown(const QString& table, const QString& name, bool shown) {
    return {
        QString("update T_FieldShow set show=%1 where name=? and TableName=?").arg(shown ? 1 : 0),
        {name, table}};
}

SqlCommand reminders(const QString& currentOperator, const QString& dayText) {
    // The day offset was compared as quoted text; a text that is no whole number lists nothing.
    bool whole = false;
    const qint64 days = dayText.trimmed().toLongLong(&whole);
    return {"select * from T_Schedule where F_User=? and awoke=True and "
            "datediff('y',Date(),[AwokeDate])=?",
            {currentOperator, whole ? QVariant(days) : QVariant()}};
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
