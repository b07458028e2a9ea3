#pragma once

// Operators' roles and customers' owners in the database: the tables and columns they need,
// and the rights an operator's row gives.

#include "Engine.h"
#include "Rights.h"

#include <QHash>
#include <optional>

namespace Roles {

QString managerRoleName();     // 管理员: every permission
QString salespersonRoleName(); // 业务员
PermissionSet salespersonPermissions();

// The role table with its two delivered roles, and each operator's role, forced password
// change and last login; operators already there get the manager's role, so nobody loses a
// right.
void addRoles(Connection& connection);
// Each customer's owner (an operator's key; existing customers get none).
void addOwners(Connection& connection);
// The list's owner column 负责人, hidden until a shop shows it; a database that has the row
// already (the delivered one) is left alone.
void addOwnerLayoutRow(Connection& connection);
// The shop's own settings, kept in the database so every workstation reads the same, and the
// notices of customers the pool took back.
void addShopSettings(Connection& connection);

// The permissions a role row stores; nullopt for no such role.
std::optional<PermissionSet> permissionsOf(Connection& connection, qint64 roleId);
// The rights of the operator with that key, named by name; an operator without a role has
// none but seeing their own customers and the pool.
Rights rightsOf(Connection& connection, qint64 userId, const QString& name);
SqlCommand rightsRead(qint64 userId); // the one statement rightsOf() runs

// Every operator's key with their name and whether they may log in, in one statement: the
// owner column shows names, an import reads them back.
struct OperatorName {
    QString name;
    bool enabled = false;
};
QHash<qint64, OperatorName> operatorNames(Connection& connection);

void recordLogin(Connection& connection, qint64 userId, const QDateTime& when);

// A shop setting's value, or fallback when it is not set.
QString shopSetting(Connection& connection, const QString& name, const QString& fallback = {});
SqlCommand shopSettingRead(const QString& name); // the statement shopSetting() runs
void setShopSetting(Connection& connection, const QString& name, const QString& value);

} // namespace Roles
