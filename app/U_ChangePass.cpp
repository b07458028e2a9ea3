#include "app/U_ChangePass.h"

#include "app/WindowPlacement.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Passwords.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DialogFrame.h"
#include "grid/EnterOnFocus.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

namespace {

QLineEdit* labelledEdit(QWidget* parent, QLabel*& label, const QString& caption, int y) {
    label = new QLabel(caption, parent);
    label->move(40, y + 3);
    label->adjustSize();
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(130, y, 170, 22);
    return edit;
}

QPushButton* pictureButton(QWidget* parent, const QString& caption, QStyle::StandardPixmap icon,
                           int x) {
    auto* button = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    button->setGeometry(x, 166, 85, 27);
    button->setAutoDefault(false); // neither button is the default for Enter in a box
    pressOnEnterWhenFocused(button);
    return button;
}

} // namespace

TFrm_ChangePass::TFrm_ChangePass(TFrm_Data& data, MessageService& messages, LoggedOperator loggedIn,
                                 QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      data_(data), messages_(messages), operator_(std::move(loggedIn)), Qry("Qry") {
    setFixedSize(341, 208);
    frameFixedDialog(*this);
    Edit_User = labelledEdit(this, Label4, QStringLiteral("当前用户"), 20);
    Edit_User->setEnabled(false);
    Edit_User->setBackgroundRole(QPalette::Button);
    QPalette buttonFace = Edit_User->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    Edit_User->setPalette(buttonFace);
    Edit_oldpass = labelledEdit(this, Label1, QStringLiteral("当前密码"), 52);
    Edit_newpass = labelledEdit(this, Label2, QStringLiteral("新密码"), 84);
    Edit_ConfirmPass = labelledEdit(this, Label3, QStringLiteral("新密码验证"), 116);
    for (QLineEdit* edit : {Edit_oldpass, Edit_newpass, Edit_ConfirmPass})
        showStarsForPassword(edit);
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(16, 152, 309, 2);
    Btn_OK = pictureButton(this, QStringLiteral("确定(&Y)"), QStyle::SP_DialogOkButton, 120);
    Btn_Exit = pictureButton(this, QStringLiteral("取消(&Q)"), QStyle::SP_DialogCancelButton, 215);

    setTabOrder(Btn_OK, Btn_Exit);
    setTabOrder(Btn_Exit, Edit_oldpass);
    setTabOrder(Edit_oldpass, Edit_newpass);
    setTabOrder(Edit_newpass, Edit_ConfirmPass);
    Btn_OK->setFocus();
    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_ChangePass::Btn_okClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_ChangePass::Btn_ExitClick);
    centreOnScreen(this);
    FormCreate();
}

TFrm_ChangePass::~TFrm_ChangePass() = default;

void TFrm_ChangePass::FormCreate() {
    setWindowTitle(QStringLiteral("修改我的登录密码"));
    connString_ = data_.ConnString;
    Edit_oldpass->clear();
    Edit_newpass->clear();
    Edit_ConfirmPass->clear();
}

void TFrm_ChangePass::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFrm_ChangePass::FormShow() {
    Edit_User->setText(operator_.shownName());
    Btn_OK->setFocus();
}

void TFrm_ChangePass::Btn_okClick() {
    guarded(messages_, [this] { changePassword(); });
}

void TFrm_ChangePass::Btn_ExitClick() {
    reject();
}

// Opens the dialog's own connection on first use and reads the operator's row.
bool TFrm_ChangePass::findOperatorRow() {
    if (!connection_) {
        connection_ = openDatabase(connString_);
        Qry.setConnection(connection_.get());
    }
    Qry.close();
    Qry.setCommand(Sql::operatorByKey(operator_.key));
    Qry.open();
    return !Qry.isEmpty();
}

void TFrm_ChangePass::changePassword() {
    if (!findOperatorRow()) {
        messages_.messageBox(
            this,
            QStringLiteral("操作员“%1”在用户表中不存在，无法修改密码！").arg(operator_.shownName()),
            QStringLiteral("警告"), MsgIcon::Warning, mbOK);
        return;
    }
    if (!StoredPassword(Qry.asString("password")).matches(Edit_oldpass->text()))
        return inform(QStringLiteral("当前密码错误!"), QStringLiteral("密码错误"), Edit_oldpass);
    if (Edit_ConfirmPass->text() != Edit_newpass->text())
        return inform(
            QStringLiteral("在\"验证\"框中重新输入新密码并单击\"确定\"按钮,以验证新密码."),
            QStringLiteral("验证密码"), Edit_ConfirmPass);
    if (forced_ && StoredPassword(Qry.asString("password")).matches(Edit_newpass->text()))
        return inform(QStringLiteral("请设置一个与当前密码不同的新密码。"),
                      QStringLiteral("修改密码"), Edit_newpass);
    const bool keepPlain = keepsPlainPasswords(data_.IniFile);
    QVariantMap values{{"password", storedFormOf(Edit_newpass->text(), keepPlain)}};
    if (Qry.findField("MustChangePass") >= 0)
        values.insert("MustChangePass", false);
    Qry.edit(values);
    inform(QStringLiteral("修改密码成功!"), QStringLiteral("成功"), nullptr);
    accept();
}

void TFrm_ChangePass::inform(const QString& text, const QString& caption, QLineEdit* focus) {
    messages_.messageBox(this, text, caption, MsgIcon::Information, mbOK);
    if (focus)
        focus->setFocus();
}
