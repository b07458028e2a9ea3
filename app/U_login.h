#pragma once

#include "app/LoginRules.h"
#include "app/LoginThrottle.h"
#include "data/Query.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class MessageService;
class TFrm_Data;
class TFrm_Main;

// The login dialog: the operator picks a name and types the password. Shown once at start-up;
// LoginOK tells the main sequence whether to run the program.
class TFrm_Login : public QDialog {
    Q_OBJECT
  public:
    TFrm_Login(TFrm_Data& data, MessageService& messages, TFrm_Main& main,
               QWidget* parent = nullptr);
    ~TFrm_Login() override;

    bool LoginOK = false;
    // The admitted operator must set a new password before the program goes on.
    bool MustChangePassword = false;

    QLabel* Image1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label1;
    QComboBox* Combo_User;
    QLabel* Label3;
    QLineEdit* Edit_Pass;
    QPushButton* Btn_ok;
    QPushButton* Btn_Exit;

    Query Qry_login; // the login list
    Query ADOQuery1; // the chosen operator's row

    LoginThrottle& throttle() { return throttle_; }

  public slots:
    void Btn_okClick();
    void Btn_ExitClick();
    void Combo_UserSelect();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    LoggedOperator readOperator(const QString& name, QString& stored);
    bool checkLogin();
    bool mustWait(const LoggedOperator& chosen);
    void upgradeStoredPassword(const LoggedOperator& chosen, const StoredPassword& stored);
    void admit(const LoggedOperator& chosen);
    void recordLogin(const LoggedOperator& chosen);
    void rememberPosition();

    TFrm_Data& data_;
    MessageService& messages_;
    TFrm_Main& main_;
    LoginThrottle throttle_;
};
