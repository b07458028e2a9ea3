// The change history and the recycle bin on every engine: whoever changes a row, the database
// keeps exactly one record of it, in the change's own transaction.

#include "data/Query.h"
#include "data/Statements.h"
#include "history/ChangeLog.h"
#include "history/RecycleBin.h"
#include "tests/data/DataTestSupport.h"

#include <QProcess>

namespace {

class HistoryTest : public EngineTest {
  protected:
    void SetUp() override {
        db.connection->setAuthor({"Admin", "desk1"});
        db.addCustomer("甲公司", "111", QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
        code = db.scalar("select CustCode from Custom where Company = ?", {"甲公司"}).toLongLong();
    }

    std::vector<ChangeRecord> history() { return ChangeLog::ofCustomer(*db.connection, code); }

    // The engine's own command-line tool, as a user at the terminal would run it.
    void commandLine(const QString& sql) {
        QProcess tool;
        if (db.engine == TestEngine::Sqlite)
            tool.start("sqlite3", {db.connString, sql});
        else
            tool.start("psql",
                       {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", db.connString, "-c", sql});
        ASSERT_TRUE(tool.waitForFinished(20000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    }

    QString allOf(const QString& table, const QString& where) {
        auto rows = db.connection->query({"select * from " + table + " where " + where, {code}});
        QStringList out;
        while (rows->next()) {
            QStringList cells;
            for (int i = 0; i < rows->columnCount(); ++i)
                cells << rows->column(i).name + "=" +
                             (rows->type(i) == CellType::Null
                                  ? QString("null")
                                  : QString::fromUtf8(rows->text(i).data(),
                                                      qsizetype(rows->text(i).size())));
            out << cells.join(",");
        }
        out.sort();
        return out.join("\n");
    }

    qint64 code = 0;
};

TEST_P(HistoryTest, EveryWayOfChangingLeavesExactlyOneRecordOrNone) {
    struct Case {
        const char* how;
        std::function<void(const QString&)> change; // sets tel
        bool lands;
        QString who; // expected operator; empty: another program
    };
    const std::vector<Case> cases = {
        {"the program's query",
         [this](const QString& tel) {
             Query query("Qry_Cust", db.connection.get());
             query.setCommand(Sql::allCustomers());
             query.open();
             query.edit({{"tel", tel}});
         },
         true, "Admin"},
        {"a second copy of the program",
         [this](const QString& tel) {
             auto other = db.secondConnection();
             other->setAuthor({"Bob", "desk2"});
             other->execute({"update Custom set tel = ? where CustCode = ?", {tel, code}});
         },
         true, "Bob"},
        {"the engine's command line",
         [this](const QString& tel) {
             commandLine(QString("update \"Custom\" set tel = '%1' where \"CustCode\" = %2")
                             .arg(tel)
                             .arg(code));
         },
         true, ""},
        {"a rolled-back transaction",
         [this](const QString& tel) {
             Transaction transaction(*db.connection);
             db.connection->execute({"update Custom set tel = ? where CustCode = ?", {tel, code}});
         },
         false, ""},
        {"a transaction whose later statement fails",
         [this](const QString& tel) {
             try {
                 Transaction transaction(*db.connection);
                 db.connection->execute(
                     {"update Custom set tel = ? where CustCode = ?", {tel, code}});
                 db.connection->execute({"insert into NoSuchTable values (1)", {}});
                 transaction.commit();
             } catch (const AppError&) {
             }
         },
         false, ""},
        {"a change of letter case only",
         [this](const QString&) {
             db.connection->execute(
                 {"update Custom set Company = ? where CustCode = ?", {"甲公司X", code}});
             db.connection->execute(
                 {"update Custom set Company = ? where CustCode = ?", {"甲公司x", code}});
         },
         true, "Admin"},
        {"a save that changes nothing",
         [this](const QString&) {
             db.connection->execute(
                 {"update Custom set Company = Company where CustCode = ?", {code}});
         },
         false, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].how);
        const auto before = history();
        const QString oldTel =
            db.scalar("select tel from Custom where CustCode = ?", {code}).toString();
        const QString oldName =
            db.scalar("select Company from Custom where CustCode = ?", {code}).toString();
        const QString tel = QString("tel-%1").arg(i);
        cases[i].change(tel);
        const auto after = history();
        const size_t added = after.size() - before.size();
        if (!cases[i].lands) {
            EXPECT_EQ(added, 0u);
            continue;
        }
        ASSERT_GE(added, 1u);
        const ChangeRecord& r = after.front();
        EXPECT_EQ(r.action, 'U');
        EXPECT_EQ(r.who, cases[i].who);
        EXPECT_EQ(r.table, "Custom");
        EXPECT_EQ(r.rowKey, code);
        ASSERT_EQ(r.fields.size(), 1u);
        if (r.fields[0].field == "tel") {
            EXPECT_EQ(added, 1u);
            EXPECT_EQ(r.fields[0].before.toString(), oldTel);
            EXPECT_EQ(r.fields[0].after.toString(), tel);
        } else { // the case change: two records, each with its own old and new letters
            EXPECT_EQ(added, 2u);
            EXPECT_EQ(r.fields[0].before.toString(), "甲公司X");
            EXPECT_EQ(r.fields[0].after.toString(), "甲公司x");
            EXPECT_EQ(after[1].fields[0].before.toString(), oldName);
        }
    }
    // A column added later is recorded as well.
    db.connection->addColumn("Custom", "Region", "VARCHAR(20)", {}, false);
    db.connection->execute({"update Custom set Region = ? where CustCode = ?", {"华东", code}});
    ASSERT_EQ(history().front().fields.size(), 1u);
    EXPECT_EQ(history().front().fields[0].field, "Region");
    EXPECT_EQ(history().front().fields[0].after.toString(), "华东");
    // Passwords are never recorded, the operator's name is.
    db.connection->execute({"update admin set password = ?", {"secret"}});
    db.connection->execute({"update admin set username = ?", {"Boss"}});
    EXPECT_EQ(db.scalar("select count(*) from T_History where TableName = 'admin'").toLongLong(),
              1);
    EXPECT_FALSE(db.scalar("select Changes from T_History where TableName = 'admin'")
                     .toString()
                     .contains("secret"));
}

TEST_P(HistoryTest, BinnedCustomerIsOutOfSightAndComesBackWhole) {
    for (int i = 0; i < 3; ++i)
        db.connection->execute({"insert into T_Schedule (F_User, CustName, Subject, CustCode, "
                                "AwokeDate, Awoke) values (?, ?, ?, ?, ?, ?)",
                                {"Admin", "甲公司", QString("主题%1").arg(i), code,
                                 QDateTime(QDate(2025, 1, 1 + i), QTime(10, 0)), true}});
    const QString customer = allOf("Custom", "CustCode = ?");
    const QString activities = allOf("T_Schedule", "CustCode = ?");
    const qint64 recordsBefore = qint64(history().size());

    RecycleBin::moveCustomer(*db.connection, code, true);
    EXPECT_EQ(db.count("1=1"), 0);
    EXPECT_FALSE(db.connection->query(Sql::customerByCompany("甲公司"))->next());
    EXPECT_EQ(db.scalar("select count(*) from T_Schedule").toLongLong(), 0);
    const auto binned = RecycleBin::list(*db.connection);
    ASSERT_EQ(binned.size(), 1u);
    EXPECT_EQ(binned[0].company, "甲公司");
    EXPECT_EQ(binned[0].binnedBy, "Admin");
    EXPECT_EQ(binned[0].activities, 3);
    // One record for the customer; its activities went with it.
    EXPECT_EQ(qint64(history().size()), recordsBefore + 1);
    EXPECT_EQ(history().front().action, 'B');

    // Another customer takes the name meanwhile: restoring asks first.
    db.addCustomer("甲公司");
    EXPECT_EQ(RecycleBin::restore(*db.connection, code), RecycleBin::RestoreOutcome::NameTaken);
    EXPECT_EQ(RecycleBin::list(*db.connection).size(), 1u);
    db.connection->execute({"delete from Custom where CustCode <> ?", {code}});
    EXPECT_EQ(RecycleBin::restore(*db.connection, code), RecycleBin::RestoreOutcome::Restored);
    EXPECT_EQ(allOf("Custom", "CustCode = ?"), customer);
    EXPECT_EQ(allOf("T_Schedule", "CustCode = ?"), activities);
    EXPECT_TRUE(RecycleBin::list(*db.connection).empty());
    EXPECT_EQ(history().front().action, 'R');
    EXPECT_EQ(RecycleBin::restore(*db.connection, code), RecycleBin::RestoreOutcome::Missing);

    // For good: gone from the bin, and the history says so.
    RecycleBin::moveCustomer(*db.connection, code, true);
    EXPECT_TRUE(RecycleBin::purge(*db.connection, code));
    EXPECT_EQ(db.scalar("select count(*) from T_Schedule_Bin").toLongLong(), 0);
    EXPECT_EQ(history().front().action, 'P');
}

TEST_P(HistoryTest, PurgeTakesOnlyWhatOutlivedItsRetention) {
    const QDateTime now(QDate(2026, 6, 1), QTime(12, 0));
    db.addCustomer("乙公司");
    const qint64 recent =
        db.scalar("select CustCode from Custom where Company = ?", {"乙公司"}).toLongLong();
    RecycleBin::moveCustomer(*db.connection, code, true, now.addDays(-91));
    RecycleBin::moveCustomer(*db.connection, recent, true, now.addDays(-89));
    db.connection->execute({"update T_History set ChangedAt = ? where ID = (select min(ID) from "
                            "T_History)",
                            {now.addDays(-366)}});
    const qint64 records = db.scalar("select count(*) from T_History").toLongLong();

    RecycleBin::purgeExpired(*db.connection, Retention{90, 365}, now);
    const auto left = RecycleBin::list(*db.connection);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].custCode, recent);
    // The oldest record went, the purge itself left one.
    EXPECT_EQ(db.scalar("select count(*) from T_History").toLongLong(), records);
    EXPECT_EQ(db.scalar("select count(*) from T_History where ChangedAt < ?", {now.addDays(-365)})
                  .toLongLong(),
              0);
}

TEST_P(HistoryTest, AnOldValuePutBackIsANewChangeAndSparesLaterOnes) {
    db.connection->execute(
        {"update Custom set tel = ?, Mobile = ? where CustCode = ?", {"222", "m1", code}});
    db.connection->execute({"update Custom set Mobile = ? where CustCode = ?", {"m2", code}});
    const ChangeRecord both = history()[1];
    ASSERT_TRUE(ChangeLog::canPutBack(both));
    EXPECT_EQ(ChangeLog::putBack(*db.connection, both), QStringList{"Mobile"});
    EXPECT_EQ(db.scalar("select tel from Custom where CustCode = ?", {code}).toString(), "111");
    EXPECT_EQ(db.scalar("select Mobile from Custom where CustCode = ?", {code}).toString(), "m2");
    const ChangeRecord undo = history().front();
    EXPECT_EQ(undo.who, "Admin");
    ASSERT_EQ(undo.fields.size(), 1u);
    EXPECT_EQ(undo.fields[0].after.toString(), "111");
    EXPECT_TRUE(ChangeLog::lineOf(undo, ChangeLog::fieldTitles(*db.connection))
                    .contains("联系电话: “222” → “111”"));
}

RUN_ON_EVERY_ENGINE(HistoryTest);

} // namespace
