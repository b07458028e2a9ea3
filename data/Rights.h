#pragma once

// What the logged-in operator may do, as their role says. Statements that read or change
// customers take it and narrow themselves to the customers the operator may see; commands
// ask it before they act. The data module holds the one of the run.

#include "Engine.h"

#include <QList>
#include <QString>

enum class Permission : unsigned {
    SeeAllCustomers = 1u << 0, // else only their own customers and the pool's
    AddCustomers = 1u << 1,
    EditCustomers = 1u << 2,
    DeleteCustomers = 1u << 3,
    ImportCustomers = 1u << 4,
    ExportCustomers = 1u << 5,
    PrintCustomers = 1u << 6,
    ChangeLayout = 1u << 7, // the column layout every workstation shares
    ManageOperators = 1u << 8,
    BackupRestore = 1u << 9,
    SeeOthersActivities = 1u << 10,
};

// A permission as the role table stores it and the role editor shows it.
struct PermissionInfo {
    Permission permission;
    const char* column; // yes/no column of T_Role
    QString label;      // the check box
    QString deed;       // what it allows, to say what is refused: "删除客户"
};
const QList<PermissionInfo>& allPermissions();

using PermissionSet = unsigned;
constexpr PermissionSet everyPermission = (1u << 11) - 1;

class Rights {
  public:
    // Every permission and no operator: a program run without a login (the admin tool, a
    // migration), where the file's own access rules are what protects it.
    Rights() = default;
    Rights(qint64 operatorKey, QString operatorName, QString roleName, PermissionSet permissions);

    bool may(Permission permission) const { return (permissions_ & unsigned(permission)) != 0; }
    // Throws AppError saying the role does not allow it.
    void require(Permission permission) const;
    // Why the operator may not use it (a tooltip), empty when they may.
    QString whyNot(Permission permission) const;

    bool ownOnly() const { return !may(Permission::SeeAllCustomers); }
    qint64 operatorKey() const { return operatorKey_; }
    const QString& operatorName() const { return operatorName_; }
    const QString& roleName() const { return roleName_; }
    PermissionSet permissions() const { return permissions_; }

    // A condition true for the customers the operator may see and change: their own and the
    // pool's, or all. column names the owner column, qualified where the statement needs it.
    SqlCommand customerScope(const QString& column = QStringLiteral("Owner")) const;
    // The same for a row that names its customer by key (an activity): keyless rows stay.
    SqlCommand customerKeyScope(const QString& keyColumn) const;
    // True when a customer of that owner (null for the pool) is the operator's to see.
    bool seesOwner(const QVariant& owner) const;

  private:
    qint64 operatorKey_ = 0;
    QString operatorName_;
    QString roleName_;
    PermissionSet permissions_ = everyPermission;
};

// Appends the condition to a statement's WHERE clause with "and", or starts one.
void narrow(SqlCommand& command, const SqlCommand& condition);
