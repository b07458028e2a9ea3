#include "Roles.h"

#include "AppError.h"

namespace Roles {

namespace {

bool hasColumn(Connection& connection, const QString& table, const QString& column) {
    for (const QString& c : connection.columnsOf(table))
        if (c.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QVariantList permissionValues(PermissionSet set) {
    QVariantList values;
    for (const PermissionInfo& info : allPermissions())
        values << ((set & unsigned(info.permission)) != 0);
    return values;
}

void insertRole(Connection& connection, const QString& name, PermissionSet set) {
    QStringList columns{"RoleName"}, marks{"?"};
    for (const PermissionInfo& info : allPermissions()) {
        columns << info.column;
        marks << "?";
    }
    connection.execute(
        {"insert into T_Role (" + columns.join(',') + ") values (" + marks.join(',') + ")",
         QVariantList{name} + permissionValues(set)});
}

} // namespace

QString managerRoleName() {
    return QStringLiteral("管理员");
}

QString salespersonRoleName() {
    return QStringLiteral("业务员");
}

PermissionSet salespersonPermissions() {
    return unsigned(Permission::AddCustomers) | unsigned(Permission::EditCustomers) |
           unsigned(Permission::PrintCustomers);
}

void addRoles(Connection& connection) {
    QList<Connection::NewColumn> columns{{"RoleName", "VARCHAR(20)", "", true}};
    for (const PermissionInfo& info : allPermissions())
        columns.append({info.column, "BOOLEAN", "0", true});
    connection.createTable("T_Role", "RoleID", columns);
    insertRole(connection, managerRoleName(), everyPermission);
    insertRole(connection, salespersonRoleName(), salespersonPermissions());
    if (!hasColumn(connection, "admin", "RoleID"))
        connection.addColumn("admin", "RoleID", "INTEGER", "", false);
    if (!hasColumn(connection, "admin", "MustChangePass"))
        connection.addColumn("admin", "MustChangePass", "BOOLEAN", "0", true);
    if (!hasColumn(connection, "admin", "LastLogin"))
        connection.addColumn("admin", "LastLogin", "DATETIME", "", false);
    connection.execute({"update admin set RoleID=(select min(RoleID) from T_Role where "
                        "StrComp(RoleName,?,1)=0) where RoleID is null",
                        {managerRoleName()}});
}

void addOwners(Connection& connection) {
    if (!hasColumn(connection, "Custom", "Owner"))
        connection.addColumn("Custom", "Owner", "INTEGER", "", false);
    connection.execute({"CREATE INDEX IF NOT EXISTS Custom_Owner ON Custom (Owner)", {}});
}

void addOwnerLayoutRow(Connection& connection) {
    if (connection.columnsOf("T_FieldShow").isEmpty())
        return;
    const auto count = [&](const QString& column, const QString& value) {
        auto rows = connection.query(
            {"select count(*) from T_FieldShow where TableName=? and " + column + "=?",
             {QStringLiteral("Custom"), value}});
        return rows->next() ? rows->toInt64(0) : 0;
    };
    if (count("Field", "Owner") > 0)
        return;
    // The chooser shows and hides columns by title, so a shop's own 负责人 keeps its own.
    const QString title =
        count("Name", "负责人") > 0 ? QStringLiteral("负责人（操作员）") : QStringLiteral("负责人");
    auto last = connection.query(
        {"select max(ShowID) from T_FieldShow where TableName=?", {QStringLiteral("Custom")}});
    const qint64 showId =
        last->next() && last->type(0) != CellType::Null ? last->toInt64(0) + 1 : 0;
    last.reset();
    connection.execute({"insert into T_FieldShow (TableName, Name, Field, show, ShowID, Width, "
                        "SumField, ShowButton) values (?, ?, ?, 0, ?, 80, 0, 0)",
                        {QStringLiteral("Custom"), title, QStringLiteral("Owner"), showId}});
}

QHash<qint64, OperatorName> operatorNames(Connection& connection) {
    QHash<qint64, OperatorName> names;
    auto rows = connection.query({"select Userid, username, IsUser from admin", {}});
    while (rows->next()) {
        const std::string_view name = rows->text(1);
        names.insert(rows->toInt64(0), {QString::fromUtf8(name.data(), qsizetype(name.size())),
                                        rows->type(2) != CellType::Null && rows->toInt64(2) != 0});
    }
    return names;
}

void addShopSettings(Connection& connection) {
    connection.createTable(
        "T_ShopSetting", "ID",
        {{"Name", "VARCHAR(50)", "", true}, {"Value", "VARCHAR(255)", "", false}});
    // Customers the pool took back, until their owner's next login has told them.
    connection.createTable("T_PoolReturn", "ID",
                           {{"Owner", "INTEGER", "", true},
                            {"Company", "VARCHAR(100)", "", false},
                            {"ReturnedAt", "DATETIME", "", false}});
}

namespace {

// The permissions the current row of a T_Role read holds.
PermissionSet permissionsInRow(const ResultSet& rows) {
    PermissionSet set = 0;
    for (int i = 0; i < rows.columnCount(); ++i)
        for (const PermissionInfo& info : allPermissions())
            if (rows.column(i).name.compare(info.column, Qt::CaseInsensitive) == 0 &&
                rows.type(i) != CellType::Null && rows.toInt64(i) != 0)
                set |= unsigned(info.permission);
    return set;
}

} // namespace

std::optional<PermissionSet> permissionsOf(Connection& connection, qint64 roleId) {
    auto rows = connection.query({"select * from T_Role where RoleID=?", {roleId}});
    if (!rows->next())
        return std::nullopt;
    return permissionsInRow(*rows);
}

SqlCommand rightsRead(qint64 userId) {
    return {"select r.* from admin a inner join T_Role r on r.RoleID=a.RoleID where a.Userid=?",
            {userId}};
}

// The role's name and permissions in one read.
Rights rightsOf(Connection& connection, qint64 userId, const QString& name) {
    auto rows = connection.query(rightsRead(userId));
    if (!rows->next())
        return Rights(userId, name, QStringLiteral("无角色"), 0);
    QString role;
    for (int i = 0; i < rows->columnCount(); ++i)
        if (rows->column(i).name.compare(QLatin1String("RoleName"), Qt::CaseInsensitive) == 0 &&
            rows->type(i) != CellType::Null) {
            const std::string_view text = rows->text(i);
            role = QString::fromUtf8(text.data(), qsizetype(text.size()));
        }
    return Rights(userId, name, role, permissionsInRow(*rows));
}

void recordLogin(Connection& connection, qint64 userId, const QDateTime& when) {
    connection.execute({"update admin set LastLogin=? where Userid=?", {when, userId}});
}

SqlCommand shopSettingRead(const QString& name) {
    return {"select Value from T_ShopSetting where StrComp(Name,?,1)=0 order by ID", {name}};
}

QString shopSetting(Connection& connection, const QString& name, const QString& fallback) {
    auto rows = connection.query(shopSettingRead(name));
    if (!rows->next() || rows->type(0) == CellType::Null)
        return fallback;
    const std::string_view text = rows->text(0);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void setShopSetting(Connection& connection, const QString& name, const QString& value) {
    Transaction transaction(connection);
    connection.execute({"delete from T_ShopSetting where StrComp(Name,?,1)=0", {name}});
    connection.execute({"insert into T_ShopSetting (Name, Value) values (?, ?)", {name, value}});
    transaction.commit();
}

} // namespace Roles
