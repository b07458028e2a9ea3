#pragma once

// Operators' roles and customers' owners in the database: the tables and columns they need,
// and the rights an operator's row gives.

#include "Engine.h"
#include "Rights.h"

#include <optional>

namespace Roles {

QString managerRoleName();     // 管理员: every permission
QString salespersonRoleName(); // 业务员
PermissionSet salespersonPermissions();

// The role table with its two delivered roles, and each operator's role, forced password
// change and last login; operators already there get the manager's role, so nobody loses a
// right.
void addRoles(Connection& connection);
// Each customer's owner (an operator's key; existing customers get none) and its hidden
// layout row.
void addOwners(Connection& connection);
// The shop's own settings, kept in the database so every workstation reads the same, and the
// notices of customers the pool took back.
void addShopSettings(Connection& connection);

// The permissions a role row stores; nullopt for no such role.
std::optional<PermissionSet> permissionsOf(Connection& connection, qint64 roleId);
// The rights of the operator with that key, named by name; an operator without a role has
// none but seeing their own customers and the pool.
Rights rightsOf(Connection& connection, qint64 userId, const QString& name);
SqlCommand rightsRead(qint64 userId); // the one statement rightsOf() runs

void recordLogin(Connection& connection, qint64 userId, const QDateTime& when);

// A shop setting's value, or fallback when it is not set.
QString shopSetting(Connection& connection, const QString& name, const QString& fallback = {});
SqlCommand shopSettingRead(const QString& name); // the statement shopSetting() runs
void setShopSetting(Connection& connection, const QString& name, const QString& value);

} // namespace Roles
