#include "Rights.h"

#include "AppError.h"

const QList<PermissionInfo>& allPermissions() {
    static const QList<PermissionInfo> list = {
        {Permission::SeeAllCustomers, "SeeAll",
         QStringLiteral("查看所有客户（否则只看自己的客户和公海）"),
         QStringLiteral("查看其他人的客户")},
        {Permission::AddCustomers, "AddCust", QStringLiteral("新增客户"),
         QStringLiteral("新增客户")},
        {Permission::EditCustomers, "EditCust", QStringLiteral("修改客户"),
         QStringLiteral("修改客户")},
        {Permission::DeleteCustomers, "DelCust", QStringLiteral("删除客户"),
         QStringLiteral("删除客户")},
        {Permission::ImportCustomers, "ImportCust", QStringLiteral("导入客户"),
         QStringLiteral("导入客户")},
        {Permission::ExportCustomers, "ExportCust", QStringLiteral("导出客户"),
         QStringLiteral("导出客户")},
        {Permission::PrintCustomers, "PrintCust", QStringLiteral("打印客户"),
         QStringLiteral("打印客户")},
        {Permission::ChangeLayout, "ChangeLayout", QStringLiteral("修改共用的列布局"),
         QStringLiteral("修改共用的列布局")},
        {Permission::ManageOperators, "ManageUsers", QStringLiteral("管理操作员和角色"),
         QStringLiteral("管理操作员和角色")},
        {Permission::BackupRestore, "BackupDB", QStringLiteral("备份和恢复"),
         QStringLiteral("备份或恢复数据库")},
        {Permission::SeeOthersActivities, "OthersActivities",
         QStringLiteral("查看其他操作员的联系活动"), QStringLiteral("查看其他操作员的联系活动")},
    };
    return list;
}

Rights::Rights(qint64 operatorKey, QString operatorName, QString roleName,
               PermissionSet permissions)
    : operatorKey_(operatorKey), operatorName_(std::move(operatorName)),
      roleName_(std::move(roleName)), permissions_(permissions & everyPermission) {}

QString Rights::whyNot(Permission permission) const {
    if (may(permission))
        return {};
    for (const PermissionInfo& info : allPermissions())
        if (info.permission == permission)
            return QStringLiteral("您的角色“%1”不能%2").arg(roleName_, info.deed);
    return QStringLiteral("您的角色“%1”不能这样做").arg(roleName_);
}

void Rights::require(Permission permission) const {
    if (!may(permission))
        throw AppError(whyNot(permission) + QStringLiteral("。"));
}

SqlCommand Rights::customerScope(const QString& column) const {
    if (!ownOnly())
        return {QStringLiteral("1=1"), {}};
    return {"(" + column + " is null or " + column + "=?)", {operatorKey_}};
}

SqlCommand Rights::customerKeyScope(const QString& keyColumn) const {
    if (!ownOnly())
        return {QStringLiteral("1=1"), {}};
    return {"(" + keyColumn + " is null or " + keyColumn +
                " in (select CustCode from Custom where Owner is null or Owner=?))",
            {operatorKey_}};
}

bool Rights::seesOwner(const QVariant& owner) const {
    return !ownOnly() || owner.isNull() || !owner.isValid() || owner.toLongLong() == operatorKey_;
}

void narrow(SqlCommand& command, const SqlCommand& condition) {
    if (condition.sql == QLatin1String("1=1"))
        return;
    QString& sql = command.sql;
    qsizetype tail = sql.lastIndexOf(QLatin1String(" order by "), -1, Qt::CaseInsensitive);
    if (tail < 0)
        tail = sql.size();
    const qsizetype where =
        sql.left(tail).indexOf(QLatin1String(" where "), 0, Qt::CaseInsensitive);
    if (where < 0) {
        sql.insert(tail, " where " + condition.sql);
    } else { // the first condition may hold an "or" of its own
        const qsizetype start = where + 7;
        sql.insert(tail, ") and " + condition.sql);
        sql.insert(start, u'(');
    }
    // The statements narrowed bind nothing after their WHERE clause.
    command.params += condition.params;
}
