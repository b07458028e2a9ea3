#pragma once

#include "app/LoginRules.h"
#include "data/Engine.h"
#include "data/Query.h"

#include <QDialog>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class MessageService;
class TFrm_Data;

// The logged-in operator replaces their own password: the row the login chose, found by its
// key, never another of a similar name. The dialog keeps a connection of its own, opened from
// the data module's ConnString.
class TFrm_ChangePass : public QDialog {
    Q_OBJECT
  public:
    TFrm_ChangePass(TFrm_Data& data, MessageService& messages, LoggedOperator loggedIn,
                    QWidget* parent = nullptr);
    ~TFrm_ChangePass() override;

    QLabel* Label4;
    QLineEdit* Edit_User;
    QLabel* Label1;
    QLineEdit* Edit_oldpass;
    QLabel* Label2;
    QLineEdit* Edit_newpass;
    QLabel* Label3;
    QLineEdit* Edit_ConfirmPass;
    QFrame* Bevel1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;

    // After a reset marked "下次登录时必须修改密码": the new password must differ from the
    // present one, and the mark goes with the change.
    void setForced(bool forced) { forced_ = forced; }

  public slots:
    void Btn_okClick();
    void Btn_ExitClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    bool findOperatorRow();
    void changePassword();
    void inform(const QString& text, const QString& caption, QLineEdit* focus);

    TFrm_Data& data_;
    MessageService& messages_;
    LoggedOperator operator_;
    QString connString_;
    std::unique_ptr<Connection> connection_; // declared before Qry, which runs on it
    Query Qry;
    bool forced_ = false;
};
