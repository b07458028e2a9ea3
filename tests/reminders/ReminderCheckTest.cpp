#include "AwokeFixture.h"

#include "reminders/ReminderCheck.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QtTest/QTest>

namespace {
// Watches for the reminder window's modal loop and closes it, so a test never blocks on it.
class ModalCloser {
  public:
    ModalCloser() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeShownWindow(); });
        timer_.start();
    }

    int opened = 0;
    QPointer<TFrm_Awoke> last;
    std::function<void(TFrm_Awoke&)> inspect;

  private:
    void closeShownWindow() {
        auto* window = qobject_cast<TFrm_Awoke*>(QApplication::activeModalWidget());
        if (!window || window == last)
            return;
        ++opened;
        last = window;
        if (inspect)
            inspect(*window);
        window->Edit_Day->setText("0");
        window->close();
        if (window->isVisible())
            window->QDialog::done(0); // never leave a test inside the loop
    }

    QTimer timer_;
};
} // namespace

class ReminderCheckTest : public AwokeFixture {
  protected:
    void SetUp() override {
        AwokeFixture::SetUp();
        check_ = std::make_unique<ReminderCheck>(
            *data, messages, *previews, [this] { return operatorName; }, &owner, &timer1);
    }

    std::unique_ptr<ReminderCheck> check_;
    ReminderCheck& check() { return *check_; }
};

TEST_F(ReminderCheckTest, NeverOpensUnlessAwokeIsZero) {
    timer1.start();
    ModalCloser closer;
    for (const QByteArray& config :
         {QByteArray(), QByteArray("[OtherInfo]\nawoke=1\n"), QByteArray("[OtherInfo]\nawoke=x\n"),
          QByteArray("[OtherInfo]\nawoke=-1\n")}) {
        writeConfig(config);
        check().Timer1Timer();
        QTest::qWait(20);
    }
    EXPECT_EQ(closer.opened, 0);
    EXPECT_FALSE(check().hasOpened());
    EXPECT_TRUE(timer1.isActive());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ReminderCheckTest, OpensModallyOnceOwnedByTheMainWindowAndFreesIt) {
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    timer1.start();
    ModalCloser closer;
    closer.inspect = [&](TFrm_Awoke& window) {
        EXPECT_EQ(window.parentWidget(), &owner);
        EXPECT_TRUE(window.isModal());
        EXPECT_EQ(check().Frm_Awoke(), &window);
        EXPECT_FALSE(timer1.isActive());
    };
    check().Timer1Timer();
    EXPECT_EQ(closer.opened, 1);
    EXPECT_TRUE(closer.last.isNull()); // freed after it closed
    EXPECT_EQ(check().Frm_Awoke(), nullptr);

    check().Timer1Timer(); // awoke is still 0, but this run has had its window
    QTest::qWait(20);
    EXPECT_EQ(closer.opened, 1);
    EXPECT_FALSE(timer1.isActive());
}

TEST_F(ReminderCheckTest, AwokeSetByAnotherWriterOpensTheWindowOnTheNextTick) {
    QObject::connect(&timer1, &QTimer::timeout, [this] { check().Timer1Timer(); });
    timer1.start(10);
    ModalCloser closer;
    QTest::qWait(50);
    EXPECT_EQ(closer.opened, 0);

    SettingsFile other(program.configPath());
    other.WriteInteger("OtherInfo", "awoke", 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return closer.opened == 1; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(closer.opened, 1);
    EXPECT_FALSE(timer1.isActive());
}

// The command opens on today's list when no day is stored; the start-up opening keeps the
// empty box it always had.
TEST_F(ReminderCheckTest, TheCommandStartsAtTodayWithoutAStoredDay) {
    addActivity("today", 0);
    addActivity("in-two", 2);
    const struct {
        QByteArray config;
        bool byCommand;
        const char* day;
        QStringList listed;
    } cases[] = {
        {"", true, "0", {"today"}},
        {"[OtherInfo]\nDay=2\n", true, "2", {"in-two"}},
        {"[OtherInfo]\nawoke=0\n", false, "", {}},
    };
    ModalCloser closer;
    for (const auto& c : cases) {
        writeConfig(c.config);
        QString day = "<not opened>";
        QStringList listed;
        closer.inspect = [&](TFrm_Awoke& window) {
            day = window.Edit_Day->text();
            listed = listedSubjects(window);
        };
        if (c.byCommand)
            check().openNow();
        else
            check().Timer1Timer();
        EXPECT_EQ(day, c.day) << c.config.toStdString();
        EXPECT_EQ(listed, c.listed) << c.config.toStdString();
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}
