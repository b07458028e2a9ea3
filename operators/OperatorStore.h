#pragma once

// The shop's operators and roles, without windows: what the operator window and the admin
// tool show and change. Every change is one transaction that keeps the rules: names unique
// without regard to letter case, and always at least one enabled operator who may manage
// operators.

#include "data/Engine.h"
#include "data/Rights.h"

#include <QDateTime>
#include <optional>
#include <vector>

struct OperatorRow {
    qint64 key = 0;
    QString name;
    qint64 roleId = 0; // 0: none
    QString roleName;
    bool enabled = true;
    bool mustChangePassword = false;
    QDateTime lastLogin; // invalid: never
};

struct RoleRow {
    qint64 id = 0;
    QString name;
    PermissionSet permissions = 0;
};

// What an operator still holds, which a deletion would leave without an owner.
struct Holdings {
    qint64 customers = 0;
    qint64 openActivities = 0;
    bool none() const { return customers == 0 && openActivities == 0; }
};

class OperatorStore {
  public:
    // actor: who makes the changes; each needs the right to manage operators.
    OperatorStore(Connection& connection, Rights actor = {});
    // Passwords stored as typed, for shops whose older copies read them so.
    bool keepPlainPasswords = false;

    std::vector<OperatorRow> operators();
    std::vector<RoleRow> roles();
    std::optional<OperatorRow> find(const QString& name); // letter case aside
    qint64 roleIdByName(const QString& name);             // throws AppError when there is none

    // A new operator; the password stored as a hash (empty stays empty). Returns the key.
    qint64 add(const QString& name, qint64 roleId, const QString& password, bool mustChange);
    void setRole(qint64 key, qint64 roleId);
    void setEnabled(qint64 key, bool enabled);
    void resetPassword(qint64 key, const QString& password, bool mustChange);
    Holdings holdings(qint64 key);
    // Only an operator who holds nothing; see handOver.
    void remove(qint64 key);
    // Their customers and open activities go to another operator, in one transaction.
    void handOver(qint64 from, qint64 to);

    qint64 addRole(const QString& name, PermissionSet permissions);
    void setRolePermissions(qint64 roleId, PermissionSet permissions);
    void removeRole(qint64 roleId); // only a role nobody has

    // The text of the name rules, empty when the name may be used.
    static QString nameProblem(const QString& name);

  private:
    void requireManager() const;
    void lockOperators();
    // Throws, for the transaction to roll back, when no enabled manager would remain.
    void keepAManager();
    void keepSelf(qint64 key, const char* deed) const;
    OperatorRow row(qint64 key);

    Connection& connection_;
    Rights actor_;
};
