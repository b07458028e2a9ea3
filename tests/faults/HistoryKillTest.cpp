// A saver killed at random moments, on every engine: replaying the history of each customer
// from nothing gives exactly the row as stored, so no change landed without its record and no
// record without its change.

#include "SaverProcess.h"

#include "history/ChangeLog.h"
#include "tests/data/DataTestSupport.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

namespace {

class HistoryUnderKills : public EngineTest {
  protected:
    // A killed client's server process may still finish its statement; the rows and the
    // history are read once it has, each statement seeing the same database.
    void awaitServerQuiet() {
        if (db.engine != TestEngine::Postgres)
            return;
        for (int i = 0; i < 500; ++i) {
            if (db.scalar("select count(*) from pg_stat_activity where datname = "
                          "current_database() and pid <> pg_backend_pid()")
                    .toLongLong() == 0)
                return;
            QThread::msleep(10);
        }
        FAIL() << "the killed saver's server process did not end";
    }

    // Each customer's fields as its records, oldest first, leave them; every record must start
    // from what the one before it left.
    void expectHistoryMatchesRows() {
        auto rows = db.connection->query({"select CustCode, Company, tel from Custom", {}});
        int customers = 0;
        while (rows->next()) {
            ++customers;
            const qint64 code = rows->toInt64(0);
            QMap<QString, QString> replayed;
            auto records = ChangeLog::ofCustomer(*db.connection, code);
            std::reverse(records.begin(), records.end());
            QString trail;
            for (const ChangeRecord& r : records)
                for (const FieldChange& f : r.fields) {
                    trail += QString(" #%1 %2:%3>%4")
                                 .arg(r.id)
                                 .arg(f.field, f.before.toString(), f.after.toString());
                    EXPECT_EQ(replayed.value(f.field).toStdString(),
                              f.before.toString().toStdString())
                        << "customer " << code << ", record " << r.id << ": a change is missing;"
                        << trail.toStdString();
                    replayed[f.field] = f.after.toString();
                }
            const auto text = [&](int i) {
                return QString::fromUtf8(rows->text(i).data(), qsizetype(rows->text(i).size()));
            };
            EXPECT_EQ(replayed.value("Company").toStdString(), text(1).toStdString())
                << "customer " << code;
            EXPECT_EQ(replayed.value("tel").toStdString(), text(2).toStdString())
                << "customer " << code << ";" << trail.toStdString();
        }
        EXPECT_EQ(db.scalar("select count(distinct RowKey) from T_History where TableName = "
                            "'Custom' and Action = 'I'")
                      .toLongLong(),
                  customers)
            << "a record of a customer that is not there";
    }
};

TEST_P(HistoryUnderKills, ReplayedHistoryEqualsTheRowsAfterEveryKill) {
    QRandomGenerator random(20261211);
    int confirmed = 0;
    for (int run = 0; run < 20; ++run) {
        SaverProcess saver(
            {"stream", db.connString, QString("h%1").arg(run), QString::number(run)});
        QThread::msleep(random.bounded(50, 250));
        saver.kill();
        awaitServerQuiet();
        confirmed += int(saver.lines().filter(QRegularExpression("^OK")).size());
        expectHistoryMatchesRows();
        if (HasFailure())
            FAIL() << "after kill " << run << ": " << saver.lines().join(" | ").toStdString();
    }
    EXPECT_GT(confirmed, 10) << "the savers should have got some work done";
}

RUN_ON_EVERY_ENGINE(HistoryUnderKills);

} // namespace
