// Sorting the customer list by a title: Query::setSort by Company beside the floor, a plain
// std::stable_sort of row numbers by QCollatorSortKeys made once per string beforehand (the
// key making is timed too, and shown apart). Prints the time ratio per size.

#include "bench/support/BenchSupport.h"
#include "data/Query.h"
#include "data/sqlite/SqliteEngine.h"
#include "data/Statements.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <numeric>

namespace {

using BenchData::Clock;
using BenchData::secondsSince;

struct SizeResult {
    double keySeconds = 0, floorSeconds = 0, querySeconds = 0;
};

std::map<int, SizeResult> results;

struct Fixture {
    std::unique_ptr<SqliteConnection> connection;
    std::unique_ptr<Query> query;
    std::vector<QString> companies; // the same strings the query sorts, in database order
};

QCollator chineseCollator() {
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

void benchFloor(benchmark::State& state, Fixture* fixture, int rows) {
    double keySeconds = 0, seconds = 0;
    const QCollator collator = chineseCollator();
    for (auto _ : state) {
        const auto start = Clock::now();
        std::vector<QCollatorSortKey> keys;
        keys.reserve(fixture->companies.size());
        for (const QString& company : fixture->companies)
            keys.push_back(collator.sortKey(company));
        keySeconds += secondsSince(start);
        std::vector<uint32_t> order(keys.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
        benchmark::DoNotOptimize(order.data());
        seconds += secondsSince(start);
    }
    results[rows].keySeconds = keySeconds / double(state.iterations());
    results[rows].floorSeconds = seconds / double(state.iterations());
}

void benchQuery(benchmark::State& state, Fixture* fixture, int rows) {
    double seconds = 0;
    bool descending = false;
    for (auto _ : state) {
        const auto start = Clock::now();
        fixture->query->setSort(descending ? "  Company DESC " : "  Company");
        seconds += secondsSince(start);
        descending = !descending;
    }
    results[rows].querySeconds = seconds / double(state.iterations());
}

std::unique_ptr<Fixture> makeFixture(const QString& path, int rows) {
    auto fixture = std::make_unique<Fixture>();
    fixture->connection = openSqliteDatabase(BenchData::customerDatabase(path, rows));
    fixture->query = std::make_unique<Query>("Qry_Cust", fixture->connection.get());
    fixture->query->setCommand(Sql::allCustomers());
    fixture->query->open();
    const int company = fixture->query->fieldByName("Company");
    fixture->companies.reserve(size_t(rows));
    for (int row = 0; row < rows; ++row)
        fixture->companies.push_back(fixture->query->displayText(row, company));
    return fixture;
}

void printRatios() {
    std::printf("\n%9s %12s %10s %10s %7s\n", "rows", "of it keys", "floor ms", "setSort ms",
                "ratio");
    for (const auto& [rows, r] : results)
        std::printf("%9d %12.1f %10.1f %10.1f %7.2f\n", rows, r.keySeconds * 1e3,
                    r.floorSeconds * 1e3, r.querySeconds * 1e3, r.querySeconds / r.floorSeconds);
    if (const auto r = results.find(100'000); r != results.end())
        BenchData::printBar("sort 100k against the floor",
                            r->second.querySeconds / r->second.floorSeconds, 1.5);
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QCoreApplication> app(argc, argv);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Fixture>> fixtures;
    for (int rows : BenchData::sizesUpTo({100'000, 1'000'000}, "SORT_BENCH_MAX_ROWS")) {
        fixtures.push_back(makeFixture(dir.filePath(QString("sort-%1.db").arg(rows)), rows));
        const int iterations = rows >= 1'000'000 ? 2 : 6;
        const std::string size = std::to_string(rows);
        BenchData::registerPair(size, "Query::setSort", iterations, benchFloor, benchQuery,
                                fixtures.back().get(), rows);
    }
    return BenchData::runAndPrint(printRatios);
}
