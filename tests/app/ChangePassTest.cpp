#include "app/U_ChangePass.h"
#include "app/U_login.h"
#include "tests/app/AppTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class ChangePassTest : public ShellTest {
  protected:
    std::unique_ptr<TFrm_ChangePass> dialog;

    TFrm_ChangePass& open(const QString& currentOperator = "Admin") {
        dialog = std::make_unique<TFrm_ChangePass>(*data, messages, loggedIn(currentOperator),
                                                  main.get());
        dialog->show();
        return *dialog;
    }
    void submit(const QString& old, const QString& fresh, const QString& confirmation) {
        dialog->Edit_oldpass->setText(old);
        dialog->Edit_newpass->setText(fresh);
        dialog->Edit_ConfirmPass->setText(confirmation);
        dialog->Btn_OK->click();
    }
};

TEST_F(ChangePassTest, OpensOnTheOperatorWithEmptyBoxesAndFocusOnOk) {
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("修改我的登录密码"));
    EXPECT_EQ(dialog->Edit_User->text(), "Admin");
    EXPECT_FALSE(dialog->Edit_User->isEnabled());
    EXPECT_EQ(dialog->focusWidget(), dialog->Btn_OK);
    EXPECT_EQ(dialog->Btn_OK->nextInFocusChain(), dialog->Btn_Exit);
    EXPECT_EQ(dialog->Btn_Exit->nextInFocusChain(), dialog->Edit_oldpass);
    EXPECT_FALSE(dialog->Btn_OK->isDefault() || dialog->Btn_OK->autoDefault());

    // Enter in a box presses nothing; on a focused button it presses that button.
    QTest::keyClick(dialog->Edit_oldpass, Qt::Key_Return);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog->Btn_Exit, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(ChangePassTest, WrongCurrentPasswordChangesNothingAndKeepsTheBoxes) {
    program.exec("update admin set password = 'Old'");
    open();
    submit("old", "new", "new");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("当前密码错误!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("密码错误"));
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(messages.last().owner, dialog.get());
    EXPECT_EQ(dialog->focusWidget(), dialog->Edit_oldpass);
    EXPECT_EQ(dialog->Edit_newpass->text(), "new");
    EXPECT_EQ(storedPassword("Admin"), "Old");
    EXPECT_EQ(dialog->result(), 0);
}

TEST_F(ChangePassTest, MismatchedConfirmationChangesNothing) {
    open();
    submit("", "new", "New");
    EXPECT_EQ(messages.last().text,
              QStringLiteral("在\"验证\"框中重新输入新密码并单击\"确定\"按钮,以验证新密码."));
    EXPECT_EQ(messages.last().caption, QStringLiteral("验证密码"));
    EXPECT_EQ(dialog->focusWidget(), dialog->Edit_ConfirmPass);
    EXPECT_EQ(storedPassword("Admin"), "");
}

TEST_F(ChangePassTest, ChangingOnlyTheOwnRowThenToEmptyAndLoggingInWithAnEmptyBox) {
    program.exec("insert into admin (username, password, IsUser) values ('Bob', 'bob''s', 1)");
    open();
    submit("", "it's new", "it's new");
    EXPECT_EQ(messages.last().text, QStringLiteral("修改密码成功!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("成功"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(passwordIs("Admin", "it's new"));
    EXPECT_FALSE(storedPassword("Admin").contains("new")); // kept as a hash
    EXPECT_EQ(storedPassword("Bob"), "bob's");

    open();
    submit("it's new", "", "");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(storedPassword("Admin"), "");

    TFrm_Login login(*data, messages, *main);
    login.show();
    login.Combo_User->setCurrentIndex(0);
    login.Btn_ok->click();
    EXPECT_TRUE(login.LoginOK);
}

TEST_F(ChangePassTest, AnOperatorWithoutARowIsToldSoAndNothingIsCreated) {
    open(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    submit("", "x", "x");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("不存在")))
        << messages.last().text.toStdString();
    EXPECT_EQ(dialog->result(), 0);
    data->OpenQuery(data->Qry_Temp, {"select * from admin", {}});
    EXPECT_EQ(data->Qry_Temp.recordCount(), 1);
    EXPECT_EQ(storedPassword("Admin"), "");
}

// The row the login chose is the one changed, even when another operator's name is its cut.
TEST_F(ChangePassTest, ALongNamedOperatorChangesExactlyTheirOwnRow) {
    const QString longName = QStringLiteral("a客户管理系统操作员名");
    const QString cutName = QStringLiteral("a客户管理系统操作员");
    program.exec("insert into admin (username, password, IsUser) values ('" + cutName +
                 "', 'short', 1)");
    program.exec("insert into admin (username, password, IsUser) values ('" + longName +
                 "', 'long', 1)");
    TFrm_Login login(*data, messages, *main);
    login.show();
    login.Combo_User->setCurrentIndex(2);
    login.Edit_Pass->setText("long");
    login.Btn_ok->click();
    ASSERT_TRUE(login.LoginOK);
    EXPECT_EQ(main->CurrentOperator, cutName);

    dialog = std::make_unique<TFrm_ChangePass>(*data, messages, main->LoggedIn, main.get());
    dialog->show();
    EXPECT_EQ(dialog->Edit_User->text(), cutName + QStringLiteral("…"));
    submit("short", "taken", "taken"); // the other operator's password opens nothing here
    EXPECT_EQ(messages.last().text, QStringLiteral("当前密码错误!"));
    submit("long", "mine", "mine");
    EXPECT_EQ(messages.last().text, QStringLiteral("修改密码成功!"));
    EXPECT_TRUE(passwordIs(longName, "mine"));
    EXPECT_EQ(storedPassword(cutName), "short");
}

TEST_F(ChangePassTest, UsesAConnectionOfItsOwn) {
    open();
    for (Query* q : {&data->Qry_Cust, &data->Qry_Temp, &data->Qry_Str, &data->Qry_FieldShow,
                     &data->Qry_SoftInfo})
        q->setConnection(nullptr);
    data->ADOConnection1.reset(); // the shared one is gone: the dialog does not need it
    submit("", "p", "p");
    EXPECT_EQ(messages.last().text, QStringLiteral("修改密码成功!"));
}

} // namespace
