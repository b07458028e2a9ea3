#pragma once

#include "data/Rights.h"
#include "operators/OperatorStore.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class MessageService;
class TFrm_Data;

// 操作员管理: the shop's operators with their roles, state and last login. Each command asks
// what it needs in a small dialog, then changes the database through the operator store, which
// keeps the rules; a refusal is told in a message box and the list shows the database again.
class TFrm_Operators : public QDialog {
    Q_OBJECT
  public:
    TFrm_Operators(TFrm_Data& data, MessageService& messages, QWidget* parent = nullptr);

    QTableWidget* Grid_Operators;
    QPushButton* Btn_Add;
    QPushButton* Btn_Role;
    QPushButton* Btn_Enable;
    QPushButton* Btn_Password;
    QPushButton* Btn_Delete;
    QPushButton* Btn_Roles;
    QPushButton* Btn_Pool;
    QPushButton* Btn_Close;

    // The commands once their questions are answered; each shows a refusal and returns false.
    bool addOperator(const QString& name, qint64 roleId, const QString& password, bool mustChange);
    bool changeRole(qint64 key, qint64 roleId);
    bool setEnabled(qint64 key, bool enabled);
    bool resetPassword(qint64 key, const QString& password, bool mustChange);
    // Deletes one who holds nothing; otherwise asks whether to hand over (to handOverTo) or
    // disable them.
    bool deleteOperator(qint64 key, qint64 handOverTo = 0);

    void Refresh();
    qint64 currentKey() const; // 0 when no row is chosen
    std::vector<OperatorRow> rows() const { return rows_; }
    OperatorStore store() const;

  private:
    bool attempt(const std::function<void()>& change);
    void Btn_AddClick();
    void Btn_RoleClick();
    void Btn_EnableClick();
    void Btn_PasswordClick();
    void Btn_DeleteClick();
    void Btn_RolesClick();
    void Btn_PoolClick();
    void updateButtons();

    TFrm_Data& data_;
    MessageService& messages_;
    std::vector<OperatorRow> rows_;
};

// The role editor: the shop's roles, each a set of permissions ticked in check boxes.
class TFrm_Roles : public QDialog {
    Q_OBJECT
  public:
    TFrm_Roles(TFrm_Data& data, MessageService& messages, QWidget* parent = nullptr);

    QListWidget* List_Roles;
    QList<QCheckBox*> Checks; // in the order of allPermissions()
    QPushButton* Btn_Save;
    QPushButton* Btn_New;
    QPushButton* Btn_Remove;

    void Refresh();
    bool save();                       // the ticks of the chosen role
    bool addRole(const QString& name); // a new role with the ticks shown
    bool removeRole();                 // the chosen role, when nobody has it

  private:
    bool attempt(const std::function<void(OperatorStore&)>& change);
    void showRole();
    qint64 currentRole() const;

    TFrm_Data& data_;
    MessageService& messages_;
    std::vector<RoleRow> roles_;
};
