// Another program's lock on the database file: every kind of statement waits with a note,
// goes on once the lock is gone and stores everything; a cancelled wait changes nothing and
// says the database was busy, never that a row was lost or changed by someone else.

#include "DataTestSupport.h"

#include "data/AppError.h"
#include "data/BusyWaiter.h"
#include "data/Statements.h"
#include "tests/support/LockHolder.h"

#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Plays the operator: after `pauses` pauses of the note either presses cancel or has the
// other program let go of its lock.
class ScriptedNote : public BusyNote {
  public:
    QStringList log;
    int pauses = 0;
    std::function<bool(int)> onPause = [](int) { return true; };

    void appear(const QString& text) override { log << "appear " + text; }
    void disappear() override { log << "disappear"; }
    bool pause(int ms) override {
        QThread::msleep(ulong(ms));
        return onPause(++pauses);
    }
};

// Opens the file with the waiter; the connection has saved one customer ("before") already.
struct Target {
    TempProgram program;
    std::unique_ptr<Connection> connection;
};

using Operation = std::function<void(Target&, BusyWaiter&)>;

void openIt(Target& t, BusyWaiter& waiter) {
    t.connection = openDatabase(t.program.databasePath(), &waiter);
}

void appendThroughTheQuery(Target& t, BusyWaiter&) {
    Query query("Qry_Cust", t.connection.get());
    query.setCommand(Sql::allCustomers());
    query.open();
    query.append({{"Company", "after"}});
}

void editThroughTheQuery(Target& t, BusyWaiter&) {
    Query query("Qry_Cust", t.connection.get());
    query.setCommand(Sql::allCustomers());
    query.open();
    query.edit({{"Company", "after"}});
}

void plainStatement(Target& t, BusyWaiter&) {
    t.connection->execute({"update Custom set Company = 'after'", {}});
}

struct Case {
    const char* name;
    bool openFirst;      // the program has the file open before the lock is taken
    const char* lockSql; // what the other program began
    Operation operation;
    const char* storedAfter; // the customers stored once the lock went, in order
};

std::string storedCompanies(const TempProgram& program) {
    auto connection = openDatabase(program.databasePath());
    auto rows = connection->query({"select Company from Custom order by CustCode", {}});
    std::string out;
    while (rows->next())
        out += std::string(rows->text(0)) + ";";
    return out;
}

TEST(BusyDatabase, EveryStatementWaitsForTheLockAndACancelChangesNothing) {
    const Case cases[] = {
        // a fresh file is in rollback-journal mode, where a writer shuts out readers too
        {"open", false, "BEGIN EXCLUSIVE", openIt, "before;"},
        {"append", true, "BEGIN IMMEDIATE", appendThroughTheQuery, "before;after;"},
        {"edit", true, "BEGIN IMMEDIATE", editThroughTheQuery, "after;"},
        {"statement", true, "BEGIN IMMEDIATE", plainStatement, "after;"},
    };
    const QString note = "appear " + BusyWaiter::noteText();
    for (const Case& c : cases) {
        for (const bool cancel : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (cancel ? " cancelled" : " released"));
            Target t;
            t.program.exec("insert into Custom (Company) values ('before')");
            ScriptedNote scripted;
            BusyWaiter waiter(scripted, 50, 20);
            if (c.openFirst)
                openIt(t, waiter);
            LockHolder other(t.program.databasePath(), c.lockSql);
            scripted.onPause = [&](int n) {
                if (n == 3 && !cancel)
                    other.release();
                return !(cancel && n == 3);
            };
            std::string error = "none";
            try {
                c.operation(t, waiter);
            } catch (const DatabaseBusy& e) {
                error = "busy: " + e.text().toStdString();
            } catch (const AppError& e) {
                error = "other: " + e.text().toStdString();
            }
            EXPECT_EQ(scripted.log, QStringList({note, "disappear"}));
            EXPECT_FALSE(waiter.waiting());
            if (cancel) {
                EXPECT_EQ(error, "busy: " + DatabaseBusy::notDoneText().toStdString());
                other.release();
                EXPECT_EQ(storedCompanies(t.program), "before;");
            } else {
                EXPECT_EQ(error, "none");
                EXPECT_GE(scripted.pauses, 3);
                EXPECT_EQ(storedCompanies(t.program), c.storedAfter);
            }
        }
    }
}

TEST(BusyDatabase, AShortLockPassesWithoutANote) {
    TempProgram program;
    ScriptedNote scripted;
    BusyWaiter waiter(scripted, 10000, 20);
    auto connection = openDatabase(program.databasePath(), &waiter);
    LockHolder other(program.databasePath(), "BEGIN IMMEDIATE");
    other.release(150);
    QElapsedTimer clock;
    clock.start();
    connection->execute({"insert into Custom (Company) values ('x')", {}});
    EXPECT_GE(clock.elapsed(), 100) << "the statement waited for the lock";
    EXPECT_TRUE(scripted.log.isEmpty());
    EXPECT_EQ(scripted.pauses, 0) << "nothing takes input before the note is up";
    EXPECT_EQ(storedCompanies(program), "x;");
}

} // namespace
