// Transactions, nested ones included, in random order against a model of what each level
// holds: what is committed is there, what is rolled back is gone, and nothing a transaction
// wrote shows to another connection before the outermost commit. Between them come what a
// connection keeps of its own: statements the server has prepared, streamed reads dropped
// part way, answers read ahead, while another workstation adds fields or the server ends the
// session.

#include "data/AppError.h"
#include "tests/data/DataTestSupport.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

namespace {

class Transactions : public EngineTest {};

TEST_P(Transactions, RandomNestingsKeepExactlyWhatWasCommitted) {
    Connection& c = *db.connection;
    auto other = db.secondConnection();
    auto seenElsewhere = [&] {
        auto rows = other->query({"select count(*) from Custom", {}});
        return rows->next() ? rows->toInt64(0) : -1;
    };
    QRandomGenerator random(20261211);
    qint64 committed = 0;
    std::vector<qint64> levels; // rows added at each open level
    int name = 0;
    const SqlCommand wholeRows{"select * from Custom", {}};
    const int firstColumns = c.query(wholeRows)->columnCount();
    int addedColumns = 0;
    auto inOpenLevels = [&] {
        qint64 open = 0;
        for (qint64 added : levels)
            open += added;
        return open;
    };
    for (int step = 0; step < 400; ++step) {
        const int action = int(random.bounded(10));
        if (action == 0 && levels.size() < 3) {
            c.begin();
            levels.push_back(0);
        } else if (action == 1 && !levels.empty()) {
            const qint64 added = levels.back();
            c.commit();
            levels.pop_back();
            (levels.empty() ? committed : levels.back()) += added;
        } else if (action == 2 && !levels.empty()) {
            c.rollback();
            levels.pop_back();
        } else if (action == 3) {
            db.addCustomer(QString("客户%1").arg(++name));
            (levels.empty() ? committed : levels.back()) += 1;
        } else if (action == 4) {
            // A failing statement inside a savepoint is undone with it alone.
            if (levels.size() >= 2) {
                EXPECT_THROW(c.execute({"insert into NoSuchTable (x) values (1)", {}}), AppError);
                c.rollback();
                levels.pop_back();
            }
        } else if (action == 5) {
            ASSERT_EQ(db.count("1=1"), committed + inOpenLevels()) << "step " << step;
            ASSERT_EQ(seenElsewhere(), committed) << "step " << step;
        } else if (action == 6) {
            // Whole rows, at once or streamed and at times dropped after the first: always of
            // the table's present columns, and the connection goes on after a dropped stream.
            const bool streamed = random.bounded(2) == 1;
            const bool dropEarly = streamed && random.bounded(3) == 0;
            auto rows = streamed ? c.stream(wholeRows) : c.query(wholeRows);
            ASSERT_EQ(rows->columnCount(), firstColumns + addedColumns) << "step " << step;
            qint64 n = 0;
            while (!(dropEarly && n == 1) && rows->next())
                ++n;
            if (!dropEarly)
                ASSERT_EQ(n, committed + inOpenLevels()) << "step " << step;
        } else if (action == 7 && levels.empty() && addedColumns < 4) {
            // Another workstation adds a field: what this one prepared gives the old columns.
            other->addColumn("Custom", QString("Extra%1").arg(++addedColumns), "INTEGER", {},
                             false);
            for (int i = 0; i < 2; ++i)
                ASSERT_EQ((i ? c.stream(wholeRows) : c.query(wholeRows))->columnCount(),
                          firstColumns + addedColumns)
                    << "step " << step;
        } else if (action == 8 && levels.empty() && db.engine == TestEngine::Postgres) {
            // The server ends this connection's session; its next read goes to a new one, where
            // nothing it prepared before is known.
            auto pid = c.query({"select pg_backend_pid()", {}});
            ASSERT_TRUE(pid->next());
            const qint64 backend = pid->toInt64(0);
            pid.reset();
            other->query({"select pg_terminate_backend(?)", {backend}})->next();
            ASSERT_EQ(db.count("1=1"), committed) << "step " << step;
        } else if (action == 9 && levels.empty()) {
            // A read sent ahead never answers with what this connection has changed since.
            c.prefetch({{"select count(*) from Custom where 1=1", {}}});
            if (random.bounded(2) == 1) {
                db.addCustomer(QString("客户%1").arg(++name));
                ++committed;
            }
            ASSERT_EQ(db.count("1=1"), committed) << "step " << step;
        }
    }
    while (!levels.empty()) {
        const qint64 added = levels.back();
        c.commit();
        levels.pop_back();
        (levels.empty() ? committed : levels.back()) += added;
    }
    EXPECT_EQ(seenElsewhere(), committed);
}

RUN_ON_EVERY_ENGINE(Transactions);

} // namespace
