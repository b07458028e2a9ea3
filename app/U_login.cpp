#include "app/U_login.h"

#include "app/LoginRules.h"
#include "app/MainSequence.h"
#include "app/U_Main.h"
#include "app/WindowPlacement.h"
#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Roles.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DialogFrame.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {
const QString warningCaption = QStringLiteral("警告");

QLabel* labelAt(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}
} // namespace

TFrm_Login::TFrm_Login(TFrm_Data& data, MessageService& messages, TFrm_Main& main, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Qry_login("Qry_login", data.ADOConnection1.get()),
      ADOQuery1("ADOQuery1", data.ADOConnection1.get()), data_(data), messages_(messages),
      main_(main) {
    setFixedSize(336, 201);
    frameFixedDialog(*this);
    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 337, 65);
    Label2 = labelAt(this, QStringLiteral("请选择操作员姓名并输入相应密码"), 24, 14);
    Label4 = labelAt(this, QStringLiteral("初始用户为：“Admin” 密码为空"), 24, 38);
    Label1 = labelAt(this, QStringLiteral("用户名称："), 40, 86);
    Combo_User = new QComboBox(this);
    Combo_User->setGeometry(112, 82, 180, 22);
    Label3 = labelAt(this, QStringLiteral("用户密码："), 40, 120);
    Edit_Pass = new QLineEdit(this);
    Edit_Pass->setGeometry(112, 116, 180, 22);
    showStarsForPassword(Edit_Pass);
    Btn_ok = new QPushButton(QStringLiteral("确定(&Y)"), this);
    Btn_ok->setGeometry(112, 160, 75, 25);
    Btn_ok->setDefault(true);
    Btn_Exit = new QPushButton(QStringLiteral("取消(&C)"), this);
    Btn_Exit->setGeometry(217, 160, 75, 25);

    setTabOrder(Combo_User, Edit_Pass);
    setTabOrder(Edit_Pass, Btn_ok);
    setTabOrder(Btn_ok, Btn_Exit);
    connect(Combo_User, &QComboBox::activated, this, &TFrm_Login::Combo_UserSelect);
    connect(Btn_ok, &QPushButton::clicked, this, &TFrm_Login::Btn_okClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_Login::Btn_ExitClick);
    centreOnScreen(this);
    FormCreate();
}

TFrm_Login::~TFrm_Login() = default;

void TFrm_Login::FormCreate() {
    setWindowTitle(QStringLiteral("登录"));
    Edit_Pass->clear();
}

void TFrm_Login::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(messages_, [this] { FormShow(); });
}

void TFrm_Login::FormShow() {
    data_.OpenQuery(Qry_login, Sql::loginList());
    Combo_User->clear();
    if (Qry_login.fieldCount() < 2)
        throw AppError("Qry_login: the operator table has no name column");
    for (int row = 0; row < Qry_login.recordCount(); ++row)
        Combo_User->addItem(Qry_login.value(row, 1).toString());
    const int remembered = data_.IniFile.ReadInteger("login", "username", -1);
    const bool listed = remembered >= 0 && remembered < Combo_User->count();
    Combo_User->setCurrentIndex(listed ? remembered : -1);
    Edit_Pass->setFocus();
}

void TFrm_Login::Combo_UserSelect() {
    Edit_Pass->setFocus();
}

void TFrm_Login::Btn_okClick() {
    bool admitted = false;
    guarded(messages_, [&] {
        admitted = checkLogin();
        rememberPosition();
    });
    // A refused write of the position is reported, but the login stands.
    if (admitted)
        accept();
}

void TFrm_Login::Btn_ExitClick() {
    reject();
}

// The first row of that name, as the list showed it; stored gets its password text.
LoggedOperator TFrm_Login::readOperator(const QString& name, QString& stored) {
    data_.OpenQuery(ADOQuery1, Sql::operatorByName(name));
    LoggedOperator chosen{-1, trimBlanks(name)};
    stored.clear();
    // An operator disabled since the list was read is refused like a missing one.
    if (!ADOQuery1.isEmpty() && ADOQuery1.findField("IsUser") >= 0 &&
        !ADOQuery1.asVariant("IsUser").toBool())
        throw AppError(QStringLiteral("操作员“%1”已被停用。").arg(trimBlanks(name)));
    if (!ADOQuery1.isEmpty()) {
        chosen.key = ADOQuery1.asInteger("Userid");
        stored = ADOQuery1.asString("password");
    }
    return chosen;
}

bool TFrm_Login::checkLogin() {
    const QString name = Combo_User->currentText();
    QString storedText;
    const LoggedOperator chosen = readOperator(name, storedText);
    const StoredPassword stored(storedText);
    if (!trimBlanks(name).isEmpty() && mustWait(chosen))
        return false;
    const LoginVerdict verdict = judgeLogin(name, Edit_Pass->text(), stored);
    if (verdict == LoginVerdict::Admitted) {
        throttle_.succeeded(chosen.key);
        upgradeStoredPassword(chosen, stored);
        admit(chosen);
        return true;
    }
    if (verdict == LoginVerdict::WrongPassword || verdict == LoginVerdict::PasswordNotNeeded)
        throttle_.failed(chosen.key);
    messages_.messageBox(this, loginRefusal(verdict, name), warningCaption, MsgIcon::Error, mbOK);
    if (verdict == LoginVerdict::PasswordMissing)
        Edit_Pass->setFocus();
    else if (verdict != LoginVerdict::NoNameChosen)
        Edit_Pass->clear();
    return false;
}

// Too many wrong passwords in a row: this press is no try, and the operator is told why.
bool TFrm_Login::mustWait(const LoggedOperator& chosen) {
    const int seconds = throttle_.secondsToWait(chosen.key);
    if (seconds == 0)
        return false;
    messages_.messageBox(this, loginWaitText(throttle_.failuresInARow(chosen.key), seconds),
                         warningCaption, MsgIcon::Warning, mbOK);
    Edit_Pass->clear();
    return true;
}

// Plain text left by an older copy becomes a hash now that the typed text proved it right.
void TFrm_Login::upgradeStoredPassword(const LoggedOperator& chosen, const StoredPassword& stored) {
    const bool keepPlain = keepsPlainPasswords(data_.IniFile);
    if (chosen.key < 0 || !stored.needsUpgrade(keepPlain))
        return;
    try {
        data_.ExecQuery(ADOQuery1,
                        Sql::storePassword(chosen.key, storedFormOf(Edit_Pass->text(), keepPlain)));
    } catch (const std::exception& error) {
        // The login stands; the next one tries again.
        qWarning("password not upgraded: %s", error.what());
    }
}

void TFrm_Login::admit(const LoggedOperator& chosen) {
    main_.CurrentOperator = operatorNameFromChoice(Combo_User->currentText());
    main_.LoggedIn = chosen;
    recordLogin(chosen);
    main_.Timer1.start();
    main_.setPanelText(0, QStringLiteral(" 当前操作员: ") + chosen.shownName());
    LoginOK = true;
}

// What the operator's role allows for the run, whether they must first set a new password, and
// when they logged in last (for the operator window).
void TFrm_Login::recordLogin(const LoggedOperator& chosen) {
    if (chosen.key < 0)
        return;
    try {
        Roles::recordLogin(*data_.ADOConnection1, chosen.key, QDateTime::currentDateTime());
    } catch (const std::exception& error) {
        qWarning("last login not recorded: %s", error.what()); // the login stands
    }
    // After the change, which would drop them: a change may alter what a read answers.
    data_.ADOConnection1->prefetch(readsAfterLogin(chosen.key));
    data_.rights = Roles::rightsOf(*data_.ADOConnection1, chosen.key, main_.CurrentOperator);
    MustChangePassword = ADOQuery1.findField("MustChangePass") >= 0 &&
                         ADOQuery1.asVariant("MustChangePass").toBool();
}

void TFrm_Login::rememberPosition() {
    data_.IniFile.WriteInteger("login", "username", Combo_User->currentIndex());
}
