#include "app/U_login.h"
#include "tests/app/AppTestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString warning = QStringLiteral("警告");

class LoginTest : public ShellTest {
  protected:
    std::unique_ptr<TFrm_Login> login;

    // A fresh dialog shown without a modal loop; its show runs the login list.
    TFrm_Login& open() {
        login = std::make_unique<TFrm_Login>(*data, messages, *main);
        login->show();
        return *login;
    }
    // Chooses the list entry and presses OK with the given password text.
    void attempt(int index, const QString& typed) {
        login->Combo_User->setCurrentIndex(index);
        login->Edit_Pass->setText(typed);
        login->Btn_ok->click();
    }
    void addOperator(const QString& name, const QString& passwordSql) {
        program.exec("insert into admin (username, password, IsUser) values ('" + name + "', " +
                     passwordSql + ", 1)");
    }
};

TEST_F(LoginTest, FirstStartChoosingAdminAndPressingEnterLogsIn) {
    bool closed = false;
    whenModal<TFrm_Login>([&](TFrm_Login* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("登录"));
        EXPECT_EQ(dialog->Combo_User->currentIndex(), -1);
        EXPECT_EQ(dialog->Combo_User->count(), 1);
        const auto afterTab = [&](QWidget* from) {
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Tab);
            return dialog->focusWidget();
        };
        EXPECT_EQ(afterTab(dialog->Combo_User), dialog->Edit_Pass);
        EXPECT_EQ(afterTab(dialog->Edit_Pass), dialog->Btn_ok);
        EXPECT_EQ(afterTab(dialog->Btn_ok), dialog->Btn_Exit);
        QTest::keyClick(dialog->Combo_User, Qt::Key_Down); // choosing moves on to the password
        EXPECT_EQ(dialog->focusWidget(), dialog->Edit_Pass);
        QTest::keyClick(dialog->Edit_Pass, Qt::Key_Return);
        closed = !dialog->isVisible();
    });
    TFrm_Login dialog(*data, messages, *main);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(dialog.LoginOK);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(main->CurrentOperator, "Admin");
    EXPECT_EQ(main->panelText(0), QStringLiteral(" 当前操作员: Admin"));
    EXPECT_TRUE(main->Timer1.isActive());
    EXPECT_EQ(config(), "[login]\nusername=0\n");
}

TEST_F(LoginTest, EmptyStoredPasswordRefusesATypedOne) {
    open();
    attempt(0, "anything");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("Admin密码为空，您可以直接点击确定按钮登录！"));
    EXPECT_EQ(messages.last().caption, warning);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_EQ(messages.last().owner, login.get());
    EXPECT_EQ(login->Edit_Pass->text(), "");
    EXPECT_FALSE(login->LoginOK);
    EXPECT_TRUE(main->CurrentOperator.isEmpty());
}

TEST_F(LoginTest, BlankOnlyPasswordIsMatchedExactly) {
    program.exec("update admin set password = '   '");
    open();
    attempt(0, "");
    EXPECT_EQ(messages.last().text, QStringLiteral("请输入密码！"));
    attempt(0, " ");
    EXPECT_EQ(messages.last().text, QStringLiteral("Admin密码为空，您可以直接点击确定按钮登录！"));
    EXPECT_EQ(login->Edit_Pass->text(), "");
    attempt(0, "   ");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(LoginTest, PasswordsAreCaseSensitiveAndNullIsEmpty) {
    addOperator("Bob", "'Secret'");
    addOperator("Carl", "NULL");
    open();
    attempt(1, "secret");
    EXPECT_EQ(messages.last().text, QStringLiteral("密码错误，请重新输入密码！"));
    EXPECT_EQ(login->Edit_Pass->text(), "");
    attempt(2, "");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(main->CurrentOperator, "Carl");
}

TEST_F(LoginTest, EveryOkRemembersThePositionAndCancelWritesNothing) {
    addOperator("Bob", "'pw'");
    open();
    login->Btn_Exit->click();
    EXPECT_FALSE(login->LoginOK);
    EXPECT_EQ(config(), "<absent>");

    open();
    attempt(1, "wrong");
    EXPECT_EQ(config(), "[login]\nusername=1\n");
    attempt(-1, "wrong");
    EXPECT_EQ(messages.last().text, QStringLiteral("请选择一个用户名！"));
    EXPECT_EQ(config(), "[login]\nusername=-1\n");

    data->IniFile.WriteInteger("login", "username", 1);
    EXPECT_EQ(open().Combo_User->currentText(), "Bob");
    data->IniFile.WriteInteger("login", "username", 7); // past the end: nothing is chosen
    EXPECT_EQ(open().Combo_User->currentIndex(), -1);
}

TEST_F(LoginTest, NoOperatorInTheListOnlyCancelLeaves) {
    program.exec("update admin set IsUser = 0");
    open();
    EXPECT_EQ(login->Combo_User->count(), 0);
    attempt(-1, "");
    attempt(-1, "x");
    EXPECT_EQ(messages.texts(), QStringList(2, QStringLiteral("请选择一个用户名！")));
    EXPECT_FALSE(login->LoginOK);
}

TEST_F(LoginTest, LongNamesAreCutAtAWholeCharacterAndQuotesWork) {
    addOperator(QStringLiteral("  a客户管理系统操作员名 "), "''");
    addOperator("O''Brien", "'it''s'");
    open();
    EXPECT_EQ(login->Combo_User->itemText(1), QStringLiteral("  a客户管理系统操作员名 "));
    attempt(1, "");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(main->CurrentOperator, QStringLiteral("a客户管理系统操作员"));
    EXPECT_EQ(main->panelText(0), QStringLiteral(" 当前操作员: a客户管理系统操作员…"));

    open();
    attempt(2, "it's");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(main->CurrentOperator, "O'Brien");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(LoginTest, APlainPasswordBecomesAHashAtTheFirstLoginUnlessPlainTextIsKept) {
    addOperator("Bob", "'Secret'");
    addOperator("Carl", "'Plain'");
    open();
    attempt(1, "secret");
    EXPECT_EQ(storedPassword("Bob"), "Secret"); // a refused try changes nothing
    attempt(1, "Secret");
    ASSERT_TRUE(login->LoginOK);
    EXPECT_FALSE(storedPassword("Bob").contains("Secret"));
    EXPECT_TRUE(passwordIs("Bob", "Secret"));
    EXPECT_EQ(storedPassword("Admin"), ""); // the empty password stays as it is

    open();
    attempt(1, "secret");
    EXPECT_EQ(messages.last().text, QStringLiteral("密码错误，请重新输入密码！"));
    attempt(1, "Secret");
    EXPECT_TRUE(login->LoginOK);

    data->IniFile.WriteString("Config", "PlainPasswords", "1");
    open();
    attempt(2, "Plain");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(storedPassword("Carl"), "Plain");
}

TEST_F(LoginTest, FiveWrongPasswordsMakeTheNextTryWaitAndTheOperatorIsTold) {
    addOperator("Bob", "'pw'");
    open();
    qint64 now = 0;
    login->throttle() = LoginThrottle([&] { return now; });
    for (int i = 0; i < 5; ++i)
        attempt(1, "nope");
    EXPECT_EQ(messages.texts(), QStringList(5, QStringLiteral("密码错误，请重新输入密码！")));
    attempt(1, "pw"); // even the right password waits
    EXPECT_EQ(messages.last().text, QStringLiteral("密码已连续输错5次，请2秒后再试！"));
    EXPECT_FALSE(login->LoginOK);
    attempt(0, ""); // another operator is not held up
    EXPECT_TRUE(login->LoginOK);
    login->LoginOK = false;
    now += 2000;
    attempt(1, "pw");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(messages.shown.size(), 6);
}

TEST_F(LoginTest, ADatabaseErrorStopsTheTestAndWritesNoPosition) {
    open();
    program.exec("drop table admin");
    attempt(0, "");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_EQ(messages.last().caption, "custdesk");
    EXPECT_FALSE(login->LoginOK);
    EXPECT_EQ(config(), "<absent>");
}

TEST_F(LoginTest, ARefusedWriteOfThePositionIsShownButTheLoginStands) {
    ASSERT_TRUE(QDir(program.dir()).mkdir("Config.ini"));
    open();
    attempt(0, "");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "Unable to write to " + program.configPath() + ".");
    EXPECT_TRUE(login->LoginOK);
    EXPECT_EQ(login->result(), QDialog::Accepted);
    EXPECT_EQ(main->CurrentOperator, "Admin");
}

} // namespace
