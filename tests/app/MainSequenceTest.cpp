#include "app/MainSequence.h"
#include "app/U_ChangePass.h"
#include "app/U_login.h"
#include "tests/app/AppTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

class MainSequenceTest : public ::testing::Test {
  protected:
    TempProgram program;
    RecordingMessageService messages;
    bool loginShown = false;

    void whenLogin(std::function<void(TFrm_Login*)> act) {
        whenModal<TFrm_Login>([this, act](TFrm_Login* login) {
            loginShown = true;
            act(login);
        });
    }
    QByteArray config() const { return fileBytes(program.configPath()); }
};

TEST_F(MainSequenceTest, FailedConnectionEndsTheProgramBeforeTheLogin) {
    QFile::remove(program.databasePath());
    messages.answers << mbNo;
    QTimer guard; // ends a login that should never have come, instead of hanging
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* login = qobject_cast<TFrm_Login*>(QApplication::activeModalWidget())) {
            loginShown = true;
            login->reject();
        }
    });
    guard.start(5);
    EXPECT_EQ(RunMainSequence(program.dir(), messages), 0);
    EXPECT_FALSE(loginShown);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().caption, QStringLiteral("客户管理系统"));
    EXPECT_EQ(config(), "<absent>");
}

TEST_F(MainSequenceTest, CancelledLoginEndsTheProgramWithoutTheMainWindow) {
    whenLogin([](TFrm_Login* login) { login->Btn_Exit->click(); });
    EXPECT_EQ(RunMainSequence(program.dir(), messages), 0);
    EXPECT_TRUE(loginShown);
    EXPECT_EQ(config(), "<absent>");
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TFrm_Main*>(w), nullptr);
}

TEST_F(MainSequenceTest, SuccessfulLoginRunsTheMainWindowUntilItCloses) {
    whenLogin([](TFrm_Login* login) {
        login->Combo_User->setCurrentIndex(0);
        login->Btn_ok->click();
    });
    TFrm_Main* seen = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* main = qobject_cast<TFrm_Main*>(w); main && main->isVisible()) {
                poll.stop();
                seen = main;
                EXPECT_TRUE(main->isMaximized());
                EXPECT_EQ(main->windowTitle(), QStringLiteral("客户管理系统V1.0"));
                EXPECT_EQ(main->panelText(0), QStringLiteral(" 当前操作员: Admin"));
                main->close();
            }
    });
    poll.start(5);
    EXPECT_EQ(RunMainSequence(program.dir(), messages), 0);
    EXPECT_NE(seen, nullptr);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(config(), "[login]\nusername=0\n");
}

// A disabled operator is not offered; one whose password was reset with "下次登录时必须修改密码"
// sets a new one before the main window, or the program ends.
TEST_F(MainSequenceTest, AForcedPasswordChangeComesBeforeTheMainWindow) {
    openDatabase(program.databasePath()); // brings the file's tables up to date
    program.exec("insert into admin (username, password, IsUser, RoleID, MustChangePass) values "
                 "('离职', '', 0, 2, 0), ('小王', '', 1, 2, 1)");
    const struct {
        bool cancel;
        bool mainShown;
        QStringList messages;
    } runs[] = {
        {true, false, {}},
        {false, true, {"请设置一个与当前密码不同的新密码。", "修改密码成功!"}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.cancel ? "cancelled" : "changed");
        messages.clear();
        QStringList offered;
        whenLogin([&](TFrm_Login* login) {
            for (int i = 0; i < login->Combo_User->count(); ++i)
                offered << login->Combo_User->itemText(i);
            login->Combo_User->setCurrentIndex(1);
            login->Btn_ok->click();
        });
        bool mainSeenFirst = false;
        whenModal<TFrm_ChangePass>([&](TFrm_ChangePass* change) {
            for (QWidget* w : QApplication::topLevelWidgets())
                mainSeenFirst = mainSeenFirst || (qobject_cast<TFrm_Main*>(w) && w->isVisible());
            if (run.cancel)
                return change->Btn_Exit->click();
            change->Btn_OK->click(); // the empty password again
            change->Edit_newpass->setText("新的");
            change->Edit_ConfirmPass->setText("新的");
            change->Btn_OK->click();
        });
        bool mainShown = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* main = qobject_cast<TFrm_Main*>(w); main && main->isVisible()) {
                    mainShown = true;
                    main->close();
                }
        });
        poll.start(5);
        EXPECT_EQ(RunMainSequence(program.dir(), messages), 0);
        EXPECT_EQ(offered, QStringList({"Admin", "小王"}));
        EXPECT_FALSE(mainSeenFirst);
        EXPECT_EQ(mainShown, run.mainShown);
        EXPECT_EQ(messages.texts(), run.messages);
    }
    auto data = program.connect(messages);
    data->OpenQuery(data->Qry_Temp, {"select * from admin where username='小王'", {}});
    EXPECT_FALSE(data->Qry_Temp.asVariant("MustChangePass").toBool());
    EXPECT_TRUE(data->Qry_Temp.asDateTime("LastLogin").isValid());
}

} // namespace
