// What makes an activity due, where it is listed, and how it stays with its customer, on
// every engine the tests have.

#include "activities/U_Activities.h"
#include "activities/U_ActivityEdit.h"
#include "customers/U_AddCust.h"
#include "data/Activities.h"
#include "data/Migrations.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "tests/data/DataTestSupport.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/WriteWait.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

class ActivityRules : public ::testing::TestWithParam<TestEngine> {
  protected:
    void SetUp() override {
        if (GetParam() == TestEngine::Postgres) {
            serverUri = createServerDatabase();
            QFile config(program.configPath());
            ASSERT_TRUE(config.open(QIODevice::WriteOnly));
            config.write(configForDatabase(serverUri));
        }
        data = program.connect(messages);
        ASSERT_TRUE(data->DBConnected) << messages.texts().join('\n').toStdString();
    }
    void TearDown() override {
        data.reset();
        if (!serverUri.isEmpty())
            dropServerDatabase(serverUri);
    }

    Connection& db() { return *data->ADOConnection1; }

    qint64 addCustomer(const QString& name) {
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
        data->Qry_Cust.append({{"Company", name}});
        return data->Qry_Cust.asInteger("CustCode");
    }

    // An activity as an operator adds it; a null code writes one known by its name alone.
    qint64 addActivity(const QVariant& custCode, const QString& custName, const QDateTime& when,
                       const QString& subject, bool awoke = true, const QString& owner = "Admin") {
        Activity a;
        a.custCode = custCode;
        a.custName = custName;
        a.owner = owner;
        a.awokeDate = when;
        a.awoke = awoke;
        a.subject = subject;
        Query query("Qry_Act", &db());
        data->OpenQuery(query, Activities::byId(0));
        query.append(Activities::fieldsOf(a));
        return query.asInteger("ID");
    }

    QVariant cell(const QString& sql, const QVariantList& params) {
        Query query("check", &db());
        data->OpenQuery(query, {sql, params});
        return query.isEmpty() ? QVariant() : query.value(0, 0);
    }

    static QStringList subjects(const Query& query) {
        QStringList out;
        for (int row = 0; row < query.recordCount(); ++row)
            out << query.value(row, query.fieldByName("Subject")).toString();
        return out;
    }
    static QStringList statusColumn(const TFrm_Activities& window) {
        const QAbstractItemModel& cells = *window.Grid_Act->view()->model();
        const int status = window.Grid_Act->columnCount() - 1;
        QStringList out;
        for (int row = 0; row < cells.rowCount(); ++row)
            out << cells.index(row, status).data().toString();
        return out;
    }

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    QString serverUri;
};

// Marking done retires the reminder; the coming days are today and six more, after the
// overdue reminded ones; the count is of those due by today; the day list goes by time.
TEST_P(ActivityRules, DoneOverdueAndTheCountFollowTheDayAndTheReminder) {
    const QDate today = QDate::currentDate();
    const qint64 code = addCustomer("东华");
    const struct Row {
        const char* subject;
        int day;
        QTime time;
        bool awoke;
        bool markedDone;
        const char* owner;
        bool counted;
        const char* status; // in the customer's list
    } rows[] = {
        {"today-late", 0, QTime(23, 59, 59), true, false, "Admin", true, ""},
        {"overdue", -2, QTime(9, 0), true, false, "Admin", true, "已过期"},
        {"past-quiet", -1, QTime(9, 0), false, false, "Admin", false, ""},
        {"today-early", 0, QTime(0, 0), true, false, "Admin", true, ""},
        {"today-quiet", 0, QTime(10, 0), false, false, "Admin", false, ""},
        {"sixth-day", 6, QTime(23, 59, 59), true, false, "admin", false, ""},
        {"seventh-day", 7, QTime(0, 0), true, false, "Admin", false, ""},
        {"done-today", 0, QTime(8, 0), true, true, "Admin", false, "已完成"},
        {"done-overdue", -1, QTime(8, 0), true, true, "Admin", false, "已完成"},
        {"another's", 0, QTime(8, 0), true, false, "Zhang", false, ""},
    };
    QHash<QString, const Row*> byName;
    for (const Row& r : rows) {
        addActivity(code, "东华", QDateTime(today.addDays(r.day), r.time), r.subject, r.awoke,
                    r.owner);
        byName[r.subject] = &r;
    }
    {
        TFrm_Activities window(*data, messages, "Admin", {code, "东华"});
        for (int row = 0; row < window.Qry_Act.recordCount(); ++row) {
            window.Qry_Act.setRecNo(row);
            if (byName[window.Qry_Act.asString("Subject")]->markedDone)
                window.Btn_DoneClick();
        }
        const QStringList listed = subjects(window.Qry_Act), status = statusColumn(window);
        ASSERT_EQ(listed.size(), std::size(rows));
        for (int row = 0; row < listed.size(); ++row)
            EXPECT_EQ(status[row], QString::fromUtf8(byName[listed[row]]->status))
                << listed[row].toStdString();
    }

    const QDateTime now = QDateTime::currentDateTime();
    const auto upcoming = readActivities(db(), Activities::upcoming("Admin", now));
    QStringList shown;
    for (const Activity& a : upcoming)
        shown << a.subject;
    EXPECT_EQ(shown,
              (QStringList{"overdue", "today-early", "today-quiet", "today-late", "sixth-day"}));
    int counted = 0;
    for (const Row& r : rows)
        counted += r.counted;
    EXPECT_EQ(Activities::dueByTodayCount(db(), "Admin", now), counted);

    Query reminders("Qry_Awoke", &db());
    for (const SqlCommand& day :
         {Sql::reminders("Admin", "0"), Sql::reminders(db(), "Admin", "0")}) {
        data->OpenQuery(reminders, day);
        QStringList due = subjects(reminders);
        due.sort(); // the window puts them in order
        EXPECT_EQ(due, (QStringList{"today-early", "today-late"}));
    }

    TFrm_Activities seven(*data, messages, "Admin", {});
    EXPECT_EQ(subjects(seven.Qry_Act), shown);
    EXPECT_EQ(statusColumn(seven).first(), QStringLiteral("已过期"));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

// A database whose activities knew their customer by name: the upgrade links each one to the
// only customer of that name, and the customer's list offers the rest to link by hand.
TEST_P(ActivityRules, UpgradeLinksActivitiesToTheOnlyCustomerOfTheirName) {
    const qint64 donghua = addCustomer("东华");
    const qint64 acme = addCustomer("Acme");
    const qint64 twinA = addCustomer("重名");
    const qint64 twinB = addCustomer("重名");
    const QDateTime when(QDate::currentDate(), QTime(9, 0));
    const struct {
        const char* name;
        QVariant linkedTo;
    } cases[] = {
        {"东华", donghua}, {"ACME", acme}, {"重名", {}}, {"无此人", {}}, {"", {}},
    };
    QList<qint64> ids;
    for (const auto& c : cases)
        ids << addActivity({}, c.name, when, c.name);
    const qint64 doneEarlier = addActivity({}, "东华", when, "done earlier");
    db().execute({"update T_Schedule set Done=True where ID=?", {doneEarlier}});
    db().execute({"update T_SchemaVersion set Version=3", {}});

    migrate(db());
    EXPECT_EQ(schemaVersion(db()), programMigrations().back().version);
    for (int i = 0; i < ids.size(); ++i) {
        const QVariant code = cell("select CustCode from T_Schedule where ID=?", {ids[i]});
        EXPECT_EQ(code.isValid() ? code.toLongLong() : 0,
                  cases[i].linkedTo.isValid() ? cases[i].linkedTo.toLongLong() : 0)
            << cases[i].name;
    }
    EXPECT_FALSE(cell("select Awoke from T_Schedule where ID=?", {doneEarlier}).toBool())
        << "a done activity is no longer reminded";
    EXPECT_EQ(Activities::countOfCustomer(db(), donghua), 2);

    TFrm_Activities twin(*data, messages, "Admin", {twinA, "重名"});
    ASSERT_EQ(subjects(twin.Qry_Act), QStringList{"重名"});
    EXPECT_EQ(statusColumn(twin), QStringList{"未关联"});
    EXPECT_TRUE(twin.Btn_Link->isEnabled());
    twin.Btn_Link->click();
    EXPECT_EQ(statusColumn(twin), QStringList{""});
    EXPECT_FALSE(twin.Btn_Link->isEnabled());
    EXPECT_EQ(Activities::countOfCustomer(db(), twinA), 1);
    TFrm_Activities other(*data, messages, "Admin", {twinB, "重名"});
    EXPECT_EQ(other.Qry_Act.recordCount(), 0) << "linked to its twin, no longer offered here";
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

// The editor's rename reaches the linked activities with the customer, or neither changes.
TEST_P(ActivityRules, RenamingACustomerRenamesItsLinkedActivitiesTogether) {
    const qint64 code = addCustomer("甲");
    const qint64 other = addCustomer("乙");
    const QDateTime when(QDate::currentDate(), QTime(9, 0));
    const qint64 linked = addActivity(code, "甲", when, "linked");
    const qint64 byName = addActivity({}, "甲", when, "by name");
    const qint64 elsewhere = addActivity(other, "乙", when, "elsewhere");
    const auto nameOf = [&](qint64 id) {
        return cell("select CustName from T_Schedule where ID=?", {id}).toString();
    };
    const struct {
        const char* typed;
        bool changedElsewhere;
        const char* linkedName; // afterwards
        bool refused;
    } cases[] = {
        {"甲乙", false, "甲乙", false},
        {"甲乙", false, "甲乙", false}, // the same name: nothing to pass on
        {"丙", true, "甲乙", true},     // refused: the activities keep the name too
        {"丙", false, "丙", false},
    };
    for (const auto& c : cases) {
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
        data->Qry_Cust.first();
        ASSERT_EQ(data->Qry_Cust.asInteger("CustCode"), code);
        if (c.changedElsewhere)
            data->openReader()->execute({"update Custom set tel='1' where CustCode=?", {code}});
        messages.clear();
        TFrm_AddCust editor(*data, messages);
        editor.setMode(TFrm_AddCust::EditMode);
        editor.show();
        editor.Edit_CustName->setText(c.typed);
        clickAndWait(editor.Btn_OK, *data);
        EXPECT_EQ(messages.shown.size(), c.refused ? 1 : 0) << c.typed;
        EXPECT_EQ(nameOf(linked), QString::fromUtf8(c.linkedName)) << c.typed;
        EXPECT_EQ(nameOf(byName), "甲") << "unlinked rows keep what they were written with";
        EXPECT_EQ(nameOf(elsewhere), "乙");
    }
}

RUN_ON_EVERY_ENGINE(ActivityRules);

// An edit keeps the stored time to the second while the date and the minute shown are its own.
TEST(ActivityEditor, AnUnchangedTimeIsKeptExactly) {
    const QDateTime stored(QDate(2026, 12, 10), QTime(16, 53, 52));
    const QDate next = stored.date().addDays(1);
    EXPECT_EQ(Activities::keptAwokeDate(stored, next, QTime(16, 53)),
              QDateTime(next, QTime(16, 53)));
    EXPECT_EQ(Activities::keptAwokeDate({}, next, QTime(9, 5, 7)), QDateTime(next, QTime(9, 5)));
    RecordingMessageService messages;
    Activity original;
    original.id = 7;
    original.custName = "东华";
    original.owner = "Admin";
    original.awokeDate = stored;
    original.subject = "电话";
    TFrm_ActivityEdit editor(messages, original, [](const QVariantMap&) {});
    editor.Edit_Subject->setText("上门");
    EXPECT_EQ(editor.activity().awokeDate, stored);
    editor.Check_Done->setChecked(true);
    EXPECT_FALSE(editor.Check_Awoke->isChecked()) << "done: no longer reminded";
    EXPECT_FALSE(editor.activity().awoke);
    editor.Time_Awoke->setTime(QTime(17, 0));
    EXPECT_EQ(editor.activity().awokeDate, QDateTime(stored.date(), QTime(17, 0)));
}

} // namespace
