// Opening the customer list as an operator who sees only their own customers (and the pool's)
// and owns a tenth of 100,000: the narrowed statement against the same statement without the
// check on the same database (the bar), and, for comparison, against the operator's rows alone
// in a database that holds only them, packed together on disk. Then sorting the 100,000 by the
// owner column, which sorts by the names it shows, against sorting them by the company name, and
// the 1 % keystroke's statement with the check, within the keystroke's bar.

#include "bench/support/BenchSupport.h"
#include "data/Migrations.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "data/sqlite/SqliteEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kRows = 100'000;
constexpr qint64 kOwner = 100; // owns the customers whose key ends in 0

double narrowedMs = 0, floorMs = 0, packedMs = 0, byCompanyMs = 0, byOwnerMs = 0;
double searchMs = 0, searchNarrowedMs = 0;

struct Fixture {
    std::unique_ptr<Connection> shared; // every customer, ten owners
    std::unique_ptr<Connection> own;    // only the operator's customers
};

void open(benchmark::State& state, Connection* connection, const SqlCommand& command, double* ms,
          int rows) {
    Query query("Qry_Cust", connection);
    query.setCommand(command);
    double total = 0;
    for (auto _ : state) {
        const auto start = BenchData::Clock::now();
        query.open();
        total += BenchData::msSince(start);
        if (rows >= 0 && query.recordCount() != rows)
            state.SkipWithError("wrong row count");
        state.PauseTiming();
        query.close();
        state.ResumeTiming();
    }
    *ms = total / double(state.iterations());
}

void benchFloor(benchmark::State& state, Fixture* f) {
    open(state, f->shared.get(), Sql::allCustomers(), &floorMs, kRows);
}

void benchPacked(benchmark::State& state, Fixture* f) {
    open(state, f->own.get(), Sql::allCustomers(), &packedMs, kRows / 10);
}

Rights salesperson() {
    return Rights(kOwner, "小王", "业务员", unsigned(Permission::AddCustomers));
}

void benchNarrowed(benchmark::State& state, Fixture* f) {
    open(state, f->shared.get(), Sql::allCustomers(salesperson()), &narrowedMs, kRows / 10);
}

// The 1 % keystroke's statement (mobile numbers holding "567"), with and without the check.
void benchSearch(benchmark::State& state, Fixture* f) {
    open(state, f->shared.get(), Sql::customerSearch(*f->shared, "Mobile", "567"), &searchMs, -1);
}

void benchSearchNarrowed(benchmark::State& state, Fixture* f) {
    open(state, f->shared.get(), Sql::customerSearch(*f->shared, "Mobile", "567", salesperson()),
         &searchNarrowedMs, -1);
}

// Every customer with its owner shown by name, as the list shows the owner column.
void sortBy(benchmark::State& state, Fixture* f, const char* field, double* ms) {
    Query query("Qry_Cust", f->shared.get());
    query.setCommand(Sql::allCustomers());
    query.open();
    auto names = std::make_shared<QHash<qint64, QString>>();
    for (qint64 key = kOwner; key < kOwner + 10; ++key)
        names->insert(key, QStringLiteral("业务员%1号").arg(key));
    query.setKeyTexts(query.fieldByName("Owner"), names);
    double total = 0;
    bool descending = false;
    for (auto _ : state) {
        const auto start = BenchData::Clock::now();
        query.setSort(QString(field) + (descending ? " DESC" : ""));
        total += BenchData::msSince(start);
        descending = !descending;
    }
    *ms = total / double(state.iterations());
}

void benchSortByCompany(benchmark::State& state, Fixture* f) {
    sortBy(state, f, "Company", &byCompanyMs);
}

void benchSortByOwner(benchmark::State& state, Fixture* f) {
    sortBy(state, f, "Owner", &byOwnerMs);
}

void printFigures() {
    std::printf("\nopen 100k as own-only operator owning 10%%: %.1f ms; without the check: "
                "%.1f ms; their rows alone, packed: %.1f ms (%.2fx)\n",
                narrowedMs, floorMs, packedMs, narrowedMs / packedMs);
    BenchData::printBar("open 100k owning 10 %, against the statement without the check",
                        narrowedMs / floorMs, 1.1);
    // The keystroke's bar at 100k is 20 ms from key to result: the checked statement must fit it.
    std::printf("search 100k 1%% as own-only operator: %.2f ms; without the check: %.2f ms "
                "(%.2fx)\n",
                searchNarrowedMs, searchMs, searchNarrowedMs / searchMs);
    BenchData::printBar("search 100k 1 % owning 10 %, the checked statement", searchNarrowedMs, 20,
                        " ms");
    std::printf("sort 100k by the owner's name: %.1f ms; by the company name: %.1f ms\n", byOwnerMs,
                byCompanyMs);
    BenchData::printBar("sort 100k by owner names, against sorting by company names",
                        byOwnerMs / byCompanyMs, 1.1);
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QCoreApplication> app(argc, argv);
    QTemporaryDir dir;
    const QString shared = BenchData::customerDatabase(dir.filePath("shared.db"), kRows);
    Fixture fixture;
    fixture.shared = migrated(openSqliteDatabase(shared));
    fixture.shared->execute({"update Custom set Owner=? + CustCode % 10", {kOwner}});
    const QString own = dir.filePath("own.db");
    fixture.shared->execute({"VACUUM INTO ?", {own}});
    fixture.own = migrated(openSqliteDatabase(own));
    fixture.own->execute({"delete from Custom where Owner<>?", {kOwner}});
    fixture.own->execute({"VACUUM", {}});
    BenchData::registerPair("100k", "owner-narrowed", 10, benchFloor, benchNarrowed, &fixture);
    BenchData::registerPair("search-100k-1pct", "owner-narrowed", 40, benchSearch,
                            benchSearchNarrowed, &fixture);
    BenchData::registerTimed("packed/100k", 10, benchPacked, &fixture);
    BenchData::registerPair("sort-100k", "by-owner", 6, benchSortByCompany, benchSortByOwner,
                            &fixture);
    return BenchData::runAndPrint(printFigures);
}
