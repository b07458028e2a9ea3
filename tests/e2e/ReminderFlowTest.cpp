#include "tests/e2e/ProgramRun.h"

#include "data/SettingsFile.h"
#include "grid/DataGrid.h"
#include "reminders/U_Awoke.h"

#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

// Watches every opening of the reminder window during a run, and lets a test act in it.
class ReminderWatch {
  public:
    explicit ReminderWatch(std::function<void(TFrm_Awoke*)> act) : act_(std::move(act)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { look(); });
        poll_.start();
    }
    int openings = 0;
    bool closed = false;
    // A watch left polling would take the next run's window from that run's own watch.
    void stop() { poll_.stop(); }

  private:
    void look() {
        auto* window = qobject_cast<TFrm_Awoke*>(QApplication::activeModalWidget());
        if (!window || window == seen_)
            return;
        seen_ = window;
        ++openings;
        act_(window);
        if (window->isVisible())
            window->Btn_Exit->click();
        closed = !window->isVisible();
    }
    std::function<void(TFrm_Awoke*)> act_;
    QPointer<TFrm_Awoke> seen_;
    QTimer poll_;
};

class Reminders : public EndToEnd {
  protected:
    void SetUp() override {
        const auto day = [](int offset) {
            return QDate::currentDate().addDays(offset).toString("yyyy-MM-dd");
        };
        exec(QString("insert into T_Schedule (F_User, CustName, Subject, Awoke, AwokeDate) "
                             "values ('Admin', '北京华盛', '电话回访', 1, '%1 09:30:00'), "
                             "('Admin', 'Acme', '上门拜访', 1, '%1 00:00:00'), "
                             "('Admin', 'Acme', '寄送样品', 1, '%2 10:00:00'), "
                             "('Admin', 'Acme', '已取消', 0, '%1 11:00:00'), "
                             "('Other', 'Acme', '别人的', 1, '%1 12:00:00')")
                         .arg(day(0), day(1)));
        // The operator asks for the reminder by hand, as the README tells.
        QFile ini(program.configPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(configStart() + "[OtherInfo]\r\nawoke=0\r\n");
    }
    static QStringList subjects(TFrm_Awoke* window) {
        DataGrid& grid = *window->DBGridEh1;
        QStringList texts = gridTexts(grid, gridColumnFields(grid).indexOf("Subject"));
        texts.sort();
        return texts;
    }
    QString setting(const QString& key) const {
        return SettingsFile(program.configPath()).ReadString("OtherInfo", key, "<none>");
    }
    // Runs the program for longer than a few ticks of the reminder check.
    void startAndWait(ReminderWatch& watch) {
        start([&](TFrm_Main&) {
            (void)QTest::qWaitFor([&] { return watch.openings > 0; }, 5000);
            QTest::qWait(2500); // more ticks: the window must not come back
        });
        watch.stop();
    }
};

END_TO_END_ON_EVERY_ENGINE(Reminders);

} // namespace

TEST_P(Reminders, AwokeZeroOpensTheWindowOnceAfterEachLoginWithTheDaysActivities) {
    QStringList firstSight, today;
    ReminderWatch first([&](TFrm_Awoke* window) {
        EXPECT_EQ(window->windowTitle(), QStringLiteral("联系活动提醒"));
        EXPECT_TRUE(window->CheckBox1->isChecked());
        firstSight = subjects(window); // no day chosen yet
        QTest::keyClicks(window->Edit_Day, "0");
        window->Btn_Refresh->click();
        today = subjects(window);
    });
    startAndWait(first);
    EXPECT_EQ(first.openings, 1);
    EXPECT_TRUE(first.closed);
    EXPECT_TRUE(firstSight.isEmpty());
    EXPECT_EQ(today, (QStringList{"上门拜访", "电话回访"}));
    EXPECT_EQ(setting("awoke"), "0");
    EXPECT_EQ(setting("Day"), "0");

    QStringList shown, tomorrow;
    ReminderWatch second([&](TFrm_Awoke* window) {
        shown = subjects(window);
        window->Edit_Day->setText("1");
        window->Btn_Refresh->click();
        tomorrow = subjects(window);
        window->CheckBox1->click(); // no more reminders at start-up
    });
    startAndWait(second);
    EXPECT_EQ(second.openings, 1);
    EXPECT_EQ(shown, (QStringList{"上门拜访", "电话回访"}));
    EXPECT_EQ(tomorrow, QStringList{"寄送样品"});
    EXPECT_EQ(setting("awoke"), "1");
    EXPECT_EQ(setting("Day"), "1");
    EXPECT_EQ(config().count("nfo]"), 1) << "one reminder section: " << config().toStdString();

    ReminderWatch third([](TFrm_Awoke*) {});
    start([&](TFrm_Main&) { QTest::qWait(2500); });
    EXPECT_EQ(third.openings, 0);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(db("select count(*) from T_Schedule"), QList<QStringList>{{"5"}});
}
