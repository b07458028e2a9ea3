#include "DataTestSupport.h"

#include "data/AppError.h"
#include "data/Statements.h"

#include <QDate>
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using ::testing::HasSubstr;

namespace {

class StatementsTest : public EngineTest {
  protected:
    int rows(const SqlCommand& command) {
        Query query("Qry_Temp", db.connection.get());
        query.setCommand(command);
        query.open();
        return query.recordCount();
    }
    QStringList companies(const SqlCommand& command) {
        Query query("Qry_Cust", db.connection.get());
        query.setCommand(command);
        query.open();
        QStringList out;
        for (query.first(); !query.eof(); query.next())
            out << query.asString("Company");
        return out;
    }
    void addOperator(const QString& name, bool isUser = true) {
        db.connection->execute(
            {"insert into admin (username, password, IsUser) values (?, '', ?)", {name, isUser}});
    }
    void addActivity(const QString& user, bool awoke, const QString& when) {
        db.connection->execute(
            {"insert into T_Schedule (F_User, Subject, Awoke, AwokeDate) values (?, '回访', ?, ?)",
             {user, awoke, when}});
    }
};

TEST_P(StatementsTest, EveryStatementRunsOnTheDeliveredSchema) {
    EXPECT_EQ(rows(Sql::loginList()), 1);
    EXPECT_EQ(rows(Sql::operatorByName("admin")), 1) << "names compare without letter case";
    EXPECT_EQ(rows(Sql::operatorForPassword("ADMIN")), 1);
    EXPECT_EQ(rows(Sql::softInfo()), 1);
    EXPECT_EQ(rows(Sql::allCustomers()), 0);
    EXPECT_EQ(rows(Sql::searchFields()), 9);
    EXPECT_EQ(rows(Sql::searchFieldLookup("客户名称")), 1);
    EXPECT_EQ(rows(Sql::customerSearch(*db.connection, "Company", "x")), 0);
    EXPECT_EQ(rows(Sql::customerByCompany("x")), 0);
    EXPECT_EQ(rows(Sql::shownLayout("Custom")), 6);
    EXPECT_EQ(rows(Sql::chooserRows("custom", false)), 3);
    EXPECT_EQ(rows(Sql::chooserRows("Custom", true)), 6);
    EXPECT_EQ(rows(Sql::reminders("Admin", "0")), 0);
    EXPECT_EQ(db.connection->execute(Sql::saveLayoutColumn("custom", "company", 3, 200)), 1);
    EXPECT_EQ(db.connection->execute(Sql::setColumnShown("Custom", "客户编号", true)), 1);
    EXPECT_EQ(rows(Sql::shownLayout("Custom")), 7);
}

TEST_P(StatementsTest, LayoutRowsComeInShowIdOrderWhateverTheCaseOfTheirTableName) {
    db.connection->execute({"update T_FieldShow set TableName='custom' where Field='tel'", {}});
    Query layout("Qry_FieldShow", db.connection.get());
    layout.setCommand(Sql::shownLayout("Custom"));
    layout.open();
    QStringList fields;
    for (layout.first(); !layout.eof(); layout.next())
        fields << layout.asString("Field");
    EXPECT_EQ(fields, QStringList({"Company", "tel", "Mobile", "OtherInfo", "AddDate", "memo2"}));
}

TEST_P(StatementsTest, ValuesWithQuotesAreBoundNotPasted) {
    addOperator("O'Brien");
    db.addCustomer("O'Brien 贸易");
    db.addCustomer("普通公司");
    EXPECT_EQ(rows(Sql::operatorByName("O'Brien")), 1);
    EXPECT_EQ(rows(Sql::operatorByName("x' or '1'='1")), 0);
    EXPECT_EQ(rows(Sql::customerByCompany("o'brien 贸易")), 1);
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "Company", "'")),
              QStringList{"O'Brien 贸易"});
    EXPECT_TRUE(
        companies(Sql::customerSearch(*db.connection, "Company", "%' or 1=1 --")).isEmpty());
    EXPECT_EQ(rows(Sql::searchFieldLookup("客户'名称")), 0);
}

TEST_P(StatementsTest, TheSearchKeepsTheKeywordsWildcardsAndChecksItsField) {
    for (const char* name : {"北京华通", "上海华通", "华为", "abc_1", "abcx1"})
        db.addCustomer(QString::fromUtf8(name));
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "company", "华通")).size(), 2);
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "Company", "[北上]_华")).size(), 2);
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "Company", "c_1")).size(), 2);
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "Company", "c[_]1")),
              QStringList{"abc_1"});
    EXPECT_EQ(companies(Sql::customerSearch(*db.connection, "Company", "")).size(), 5);

    for (const QString& bad :
         {QString("Nothing"), QString(), QString("Company = 1 or 1"), QString("\"Company\"")}) {
        try {
            Sql::customerSearch(*db.connection, bad, "x");
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const AppError& e) {
            EXPECT_EQ(e.text(), QString("查询字段 '%1' 不是客户表的字段").arg(bad));
        }
    }
}

TEST_P(StatementsTest, RemindersAreTheOperatorsFlaggedActivitiesDueOnTheDay) {
    const QDate today = QDate::currentDate();
    auto day = [&](int offset, const char* time) {
        return today.addDays(offset).toString("yyyy-MM-dd") + " " + time;
    };
    addActivity("Admin", true, day(0, "23:59:00"));
    addActivity("admin", true, day(3, "00:00:00"));
    addActivity("Admin", true, day(3, "18:30:00"));
    addActivity("Admin", false, day(3, "09:00:00"));
    addActivity("Other", true, day(3, "09:00:00"));
    addActivity("Admin", true, day(-2, "09:00:00"));
    EXPECT_EQ(rows(Sql::reminders("Admin", "0")), 1);
    EXPECT_EQ(rows(Sql::reminders("Admin", "3")), 2) << "owner compared without letter case";
    EXPECT_EQ(rows(Sql::reminders("Admin", " +3 ")), 2);
    EXPECT_EQ(rows(Sql::reminders("Admin", "-2")), 1);
    for (const char* noNumber : {"", "abc", "3天", "1.5"})
        EXPECT_EQ(rows(Sql::reminders("Admin", noNumber)), 0) << noNumber;
    EXPECT_EQ(rows(Sql::reminders("O'Brien", "3")), 0);
}

// The index-backed reminder statement lists exactly the rows of the plain one, in the same
// order, whatever form the dates were stored in by other tools.
TEST_P(StatementsTest, ReminderCandidatesKeepEveryRowAndItsPlace) {
    std::mt19937 random(7);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const bool server = db.engine == TestEngine::Postgres; // timestamps only, in one text form
    const QDate today = QDate::currentDate();
    for (int i = 0; i < 600; ++i) {
        const QDate d = today.addDays(pick(9) - 4);
        const QString y = QString::number(d.year()), sep1 = pick(3) || server ? "-" : "/",
                      sep2 = pick(3) || server ? "-" : "/";
        const QString m = pick(2) ? d.toString("MM") : QString::number(d.month());
        const QString day = pick(2) ? d.toString("dd") : QString::number(d.day());
        QString text = y + sep1 + m + sep2 + day;
        if (pick(2))
            text += (pick(2) ? " " : "T") +
                    QString("%1:%2").arg(pick(24)).arg(pick(60), 2, 10, QChar('0'));
        QVariant value = text;
        if (pick(10) == 0 && !server) // a date serial, days since 1899-12-30
            value = double(QDate(1899, 12, 30).daysTo(d)) + pick(100) / 100.0;
        else if (pick(20) == 0)
            value = QVariant();
        db.connection->execute(
            {"insert into T_Schedule (F_User, Awoke, AwokeDate) values (?, ?, ?)",
             {pick(4) ? "Admin" : "admin", pick(4) != 0, value}});
    }
    const auto ids = [&](const SqlCommand& command) {
        Query query("Qry_Awoke", db.connection.get());
        query.setCommand(command);
        query.open();
        QList<qint64> out;
        for (query.first(); !query.eof(); query.next())
            out << query.asInteger("ID");
        return out;
    };
    int listed = 0;
    for (int offset = -4; offset <= 4; ++offset) {
        const QString dayText = QString::number(offset);
        const SqlCommand plain = Sql::reminders("Admin", dayText),
                         narrowed = Sql::reminders(*db.connection, "Admin", dayText);
        EXPECT_NE(plain.sql, narrowed.sql);
        const QList<qint64> expected = ids(plain);
        EXPECT_EQ(ids(narrowed), expected) << offset;
        EXPECT_TRUE(std::is_sorted(expected.begin(), expected.end())) << "key order";
        listed += int(expected.size());
    }
    EXPECT_GT(listed, 200);
}

RUN_ON_EVERY_ENGINE(StatementsTest);

} // namespace
