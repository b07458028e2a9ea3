#include "DataTestSupport.h"

#include "data/QueryLoader.h"
#include "data/QueryStore.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A statement that never ends on its own: only an interruption stops it.
const SqlCommand endless{"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                         "SELECT count(*) FROM n",
                         {}};

struct Delivery {
    QString sql;
    qint64 rows = -1; // -1 for a failure
    QString error;
};

// On every engine: an overtaken statement must be stopped where it runs, not waited for.
class QueryLoaderTest : public ::testing::TestWithParam<TestEngine> {
  protected:
    TempDatabase db{GetParam()};
    QList<Delivery> delivered;
    QueryLoader loader{[this] { return db.secondConnection(); },
                       [this](SqlCommand command, std::unique_ptr<QueryStore> rows) {
                           delivered.append({command.sql, qint64(rows->order.size()), {}});
                       },
                       [this](SqlCommand command, QString error) {
                           delivered.append({command.sql, -1, error});
                       }};

    void waitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !loader.busy(); }, 20000));
    }
};

TEST_P(QueryLoaderTest, OnlyTheLatestLoadIsDeliveredAndOlderOnesAreInterrupted) {
    db.addCustomer("a");
    db.addCustomer("b");
    struct Case {
        const char* what;
        QList<SqlCommand> loads;
        QList<qint64> rows; // what arrives, in order; -1 for a failure
    };
    const SqlCommand all{"select * from Custom", {}};
    const SqlCommand one{"select * from Custom where Company=?", {"b"}};
    const SqlCommand bad{"select * from NoSuchTable", {}};
    const QList<Case> cases{
        {"one load", {all}, {2}},
        {"a running endless statement gives way", {endless, one}, {1}},
        {"several overtaken ones", {all, endless, all, one}, {1}},
        {"a failure is delivered as one", {endless, bad}, {-1}},
        {"after a failure the next load works", {bad, all}, {2}},
    };
    for (const Case& c : cases) {
        delivered.clear();
        QElapsedTimer clock;
        clock.start();
        for (const SqlCommand& command : c.loads) {
            loader.load(command);
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the worker is on it
        }
        waitIdle();
        QTest::qWait(50); // nothing late arrives
        QList<qint64> rows;
        for (const Delivery& d : delivered)
            rows << d.rows;
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(delivered.last().sql, c.loads.last().sql) << c.what;
        EXPECT_LT(clock.elapsed(), 10000) << c.what;
    }
    EXPECT_TRUE(delivered.last().error.isEmpty());
}

TEST_P(QueryLoaderTest, AbandonedLoadsDeliverNothingAndTheLoaderEndsWhileOneRuns) {
    loader.load(endless);
    QTest::qWait(20);
    loader.abandon();
    EXPECT_FALSE(loader.busy());
    QTest::qWait(100);
    EXPECT_TRUE(delivered.isEmpty());
    QueryLoader running([this] { return db.secondConnection(); }, {}, {});
    running.load(endless);
    QTest::qWait(20);
    // Leaving the scope ends it: the endless statement is interrupted, not waited for.
}

// The step after the read runs on the loader's thread with its connection: what it adds is
// delivered with the rows, what it throws as a failure, and once overtaken it is told to stop.
TEST_P(QueryLoaderTest, TheFinishingStepAddsToTheRowsOrFailsThemAndHearsWhenOvertaken) {
    db.addCustomer("a");
    const SqlCommand all{"select * from Custom", {}};
    const std::thread::id window = std::this_thread::get_id();
    loader.load(all, [&](Connection& connection, QueryStore& rows, const std::atomic_bool&) {
        EXPECT_NE(std::this_thread::get_id(), window);
        auto more = connection.query(all);
        while (more->next())
            rows.order.push_back(rows.addRow(*more));
    });
    waitIdle();
    ASSERT_EQ(delivered.size(), 1);
    EXPECT_EQ(delivered[0].rows, 2);

    loader.load(all, [](Connection&, QueryStore&, const std::atomic_bool&) {
        throw std::runtime_error("no keys");
    });
    waitIdle();
    EXPECT_EQ(delivered.last().error, "no keys");

    std::atomic_bool stopped{false};
    loader.load(all, [&](Connection&, QueryStore&, const std::atomic_bool& abandoned) {
        while (!abandoned)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopped = true;
    });
    QTest::qWait(20);
    loader.load(all);
    waitIdle();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(delivered.last().rows, 1) << "only the latest load is delivered";
    EXPECT_EQ(delivered.size(), 3);
}

RUN_ON_EVERY_ENGINE(QueryLoaderTest);

} // namespace
