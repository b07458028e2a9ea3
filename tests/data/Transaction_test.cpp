// Transactions, nested ones included, in random order against a model of what each level
// holds: what is committed is there, what is rolled back is gone, and nothing a transaction
// wrote shows to another connection before the outermost commit.

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
    for (int step = 0; step < 300; ++step) {
        const int action = int(random.bounded(6));
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
        } else {
            qint64 open = 0;
            for (qint64 added : levels)
                open += added;
            ASSERT_EQ(db.count("1=1"), committed + open) << "step " << step;
            ASSERT_EQ(seenElsewhere(), committed) << "step " << step;
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
