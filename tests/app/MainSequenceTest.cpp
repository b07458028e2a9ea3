#include "app/MainSequence.h"
#include "app/U_login.h"
#include "tests/app/AppTestSupport.h"

#include <QComboBox>
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

} // namespace
