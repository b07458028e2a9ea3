#include "data/Activities.h"
#include "activities/DueNotifier.h"
#include "activities/U_Activities.h"
#include "customers/CustomerCommands.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

const QDateTime kNoon(QDate(2026, 12, 10), QTime(12, 0));

class FakeNotifier : public DesktopNotifier {
  public:
    QList<qint64> shown;
    void show(qint64 id, const QString&, const QString&) override { shown << id; }
};

class ActivitiesTest : public ::testing::Test {
  protected:
    void SetUp() override { data = program.connect(messages); }

    qint64 addCustomer(const QString& name) {
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
        data->Qry_Cust.append({{"Company", name}});
        return data->Qry_Cust.asInteger("CustCode");
    }

    qint64 addActivity(qint64 custCode, const QDateTime& when, const QString& subject) {
        Activity a;
        a.custCode = custCode;
        a.custName = QStringLiteral("客户") + QString::number(custCode);
        a.owner = QStringLiteral("Admin");
        a.awokeDate = when;
        a.subject = subject;
        Query query("Qry_Act", data->ADOConnection1.get());
        data->OpenQuery(query, Activities::ofCustomer(custCode));
        query.append(Activities::fieldsOf(a));
        return query.asInteger("ID");
    }

    std::vector<Activity> ofCustomer(qint64 code) {
        return readActivities(*data->ADOConnection1, Activities::ofCustomer(code));
    }

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
};

TEST(ActivitySchema, OldDatabaseGainsColumnsAndKeepsItsRows) {
    TempProgram program;
    // The activities table as databases had it before customer keys.
    program.exec("DROP TABLE T_Schedule");
    program.exec("CREATE TABLE T_Schedule (ID INTEGER PRIMARY KEY AUTOINCREMENT, F_User "
                 "VARCHAR(50), CustName VARCHAR(100), Subject VARCHAR(100), Content MEMO, "
                 "Awoke BOOLEAN NOT NULL DEFAULT 0, AwokeDate DATETIME)");
    program.exec(QString("INSERT INTO T_Schedule (F_User, CustName, Subject, Awoke, AwokeDate) "
                         "VALUES ('Admin', '老客户', '回访', 1, '%1 09:30:00')")
                     .arg(QDate::currentDate().toString(Qt::ISODate)));
    program.exec("INSERT INTO Custom (CustCode, Company) VALUES (41, '老客户')");
    RecordingMessageService messages;
    auto data = program.connect(messages); // opening upgrades
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
    Connection& connection = *data->ADOConnection1;
    for (const char* column : {"CustCode", "Done", "DoneTime"})
        EXPECT_TRUE(connection.columnsOf("T_Schedule").contains(column, Qt::CaseInsensitive));
    EXPECT_FALSE(Activities::upgradeSchema(connection)); // nothing left to add

    Query reminders("Qry_Awoke", &connection);
    data->OpenQuery(reminders, Sql::reminders("Admin", "0"));
    ASSERT_EQ(reminders.recordCount(), 1);
    EXPECT_EQ(reminders.asString("CustName"), QStringLiteral("老客户"));
    EXPECT_EQ(reminders.asString("Subject"), QStringLiteral("回访"));
    EXPECT_EQ(reminders.asVariant("CustCode").toLongLong(), 41) << "linked by its name";
    EXPECT_FALSE(reminders.asVariant("Done").toBool());
}

TEST_F(ActivitiesTest, AddEditDoneDeleteRoundTrip) {
    const qint64 code = addCustomer("北京东华");
    const qint64 older = addActivity(code, kNoon.addDays(-2), "电话");
    const qint64 newer = addActivity(code, kNoon, "拜访");
    addActivity(addCustomer("别家"), kNoon, "不相干");

    auto rows = ofCustomer(code);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, newer); // newest first
    EXPECT_EQ(rows[1].id, older);
    EXPECT_EQ(rows[0].awokeDate, kNoon);
    EXPECT_EQ(rows[0].custCode.toLongLong(), code);

    Query query("Qry_Act", data->ADOConnection1.get());
    data->OpenQuery(query, Activities::ofCustomer(code));
    Activity changed = activityAt(query, 0);
    changed.subject = "上门拜访";
    changed.content = "第一行\n第二行";
    changed.done = true;
    changed.doneTime = kNoon.addSecs(60);
    query.edit(Activities::fieldsOf(changed));
    rows = ofCustomer(code);
    EXPECT_EQ(rows[0].subject, QStringLiteral("上门拜访"));
    EXPECT_EQ(rows[0].content, QStringLiteral("第一行\n第二行"));
    EXPECT_TRUE(rows[0].done);
    EXPECT_EQ(rows[0].doneTime, kNoon.addSecs(60));

    query.setRecNo(1);
    query.remove();
    EXPECT_EQ(ofCustomer(code).size(), 1u);
}

TEST_F(ActivitiesTest, UpcomingListsOpenActivitiesOfTheOperatorForSevenDays) {
    const qint64 code = addCustomer("甲");
    const QDateTime today(QDate::currentDate(), QTime(8, 0));
    const qint64 soon = addActivity(code, today.addDays(2), "soon");
    const qint64 first = addActivity(code, today, "today");
    addActivity(code, today.addDays(9), "too late");
    const qint64 past = addActivity(code, today.addDays(-1), "past"); // overdue: listed first
    const qint64 done = addActivity(code, today.addDays(1), "done");
    data->ADOConnection1->execute({"update T_Schedule set Done=1 where ID=?", {done}});
    data->ADOConnection1->execute(
        {"insert into T_Schedule (F_User, AwokeDate, Subject) values ('Other', ?, 'x')", {today}});

    const auto rows = readActivities(*data->ADOConnection1,
                                     Activities::upcoming("Admin", QDateTime::currentDateTime()));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, past);
    EXPECT_EQ(rows[1].id, first);
    EXPECT_EQ(rows[2].id, soon);
}

TEST_F(ActivitiesTest, EachDueActivityIsAnnouncedOnceAndAgainWhenRescheduled) {
    const qint64 code = addCustomer("乙");
    const QDateTime start = QDateTime::currentDateTime();
    const qint64 id = addActivity(code, start.addSecs(600), "due in ten minutes");
    addActivity(code, start.addSecs(-60), "already past at start"); // not falling due any more
    FakeNotifier notifier;
    bool enabled = true;
    DueWatcher watcher(
        *data->ADOConnection1, [] { return QStringLiteral("Admin"); }, notifier,
        [&] { return enabled; });

    watcher.check(start.addSecs(300));
    EXPECT_TRUE(notifier.shown.isEmpty());
    watcher.check(start.addSecs(660));
    watcher.check(start.addSecs(720));
    EXPECT_EQ(notifier.shown, QList<qint64>{id});

    data->ADOConnection1->execute(
        {"update T_Schedule set AwokeDate=? where ID=?", {start.addSecs(900), id}});
    enabled = false; // falls due while switched off: never replayed later
    watcher.check(start.addSecs(960));
    enabled = true;
    watcher.check(start.addSecs(1000));
    EXPECT_EQ(notifier.shown, QList<qint64>{id});

    data->ADOConnection1->execute(
        {"update T_Schedule set AwokeDate=? where ID=?", {start.addSecs(1200), id}});
    watcher.check(start.addSecs(1260));
    EXPECT_EQ(notifier.shown, (QList<qint64>{id, id}));
}

TEST_F(ActivitiesTest, DeletingACustomerAsksAboutItsActivities) {
    struct Case {
        QList<int> answers;
        bool customerGone;
        bool activitiesGone;
    };
    for (const Case& c : {Case{{mbYes, mbYes}, true, true}, Case{{mbYes, mbNo}, true, false},
                          Case{{mbYes, mbCancel}, false, false}}) {
        const qint64 code = addCustomer("丙");
        addActivity(code, kNoon, "a");
        addActivity(code, kNoon, "b");
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
        data->Qry_Cust.last();
        messages.clear();
        messages.answers = c.answers;
        DelCustExecute(*data, messages, nullptr);
        ASSERT_EQ(messages.shown.size(), 2);
        EXPECT_EQ(messages.last().text, QStringLiteral("该客户有 2 条联系活动，是否一并删除？"));
        auto left =
            data->ADOConnection1->query({"select count(*) from Custom where CustCode=?", {code}});
        left->next();
        EXPECT_EQ(left->toInt64(0) == 0, c.customerGone);
        EXPECT_EQ(ofCustomer(code).empty(), c.activitiesGone);
    }
}

TEST_F(ActivitiesTest, WindowMarksDoneAndDeletesTheRowUnderTheCursor) {
    const qint64 code = addCustomer("丁");
    addActivity(code, kNoon.addDays(-1), "older");
    const qint64 newest = addActivity(code, kNoon, "newest");
    TFrm_Activities window(*data, messages, "Admin", {code, "丁"});
    ASSERT_EQ(window.Qry_Act.recordCount(), 2);
    EXPECT_EQ(window.Qry_Act.asInteger("ID"), newest);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("联系活动 - 丁"));
    const QAbstractItemModel& cells = *window.Grid_Act->view()->model();
    const int done = window.Grid_Act->columnCount() - 1;
    EXPECT_NE(cells.index(0, done).data().toString(), QStringLiteral("已完成"));

    window.Btn_DoneClick();
    EXPECT_EQ(cells.index(0, done).data().toString(), QStringLiteral("已完成"));
    auto rows = ofCustomer(code);
    EXPECT_TRUE(rows[0].done);
    EXPECT_TRUE(rows[0].doneTime.isValid());
    EXPECT_FALSE(rows[1].done);

    messages.answers = {mbNo};
    window.Btn_DeleteClick();
    EXPECT_EQ(ofCustomer(code).size(), 2u);
    messages.answers = {mbYes};
    window.Btn_DeleteClick();
    rows = ofCustomer(code);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].subject, QStringLiteral("older"));
}

} // namespace
