// Opening the customer list: Query::open of "Select  * from Custom" beside the floor, plain
// sqlite3 stepping the same statement and reading every column as text. Prints the time
// ratio per size, the time per row (growth should be linear) and the memory the open result
// holds against the UTF-8 size of its cells; at 100k also with ten of the shop's own fields,
// which the floor reads as well.

#include "bench/support/BenchSupport.h"
#include "bench/support/ShopFields.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "data/sqlite/SqliteEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using BenchData::Clock;

// Wall time and processor time.
struct Timing {
    double wall = 0, cpu = 0;
};

class Stopwatch {
  public:
    Stopwatch() : wall_(Clock::now()), cpu_(BenchData::processSeconds()) {}
    void addTo(Timing& total) const {
        total.wall += BenchData::secondsSince(wall_);
        total.cpu += BenchData::processSeconds() - cpu_;
    }

  private:
    Clock::time_point wall_;
    double cpu_;
};

Timing perIteration(Timing total, const benchmark::State& state) {
    return {total.wall / double(state.iterations()), total.cpu / double(state.iterations())};
}

struct SizeResult {
    Timing floor, query;
    size_t cellBytes = 0, heldBytes = 0, mallocBytes = 0;
};

struct Size {
    int rows, fields; // fields: the shop's own, besides the delivered ones
    auto operator<=>(const Size&) const = default;
};

std::map<Size, SizeResult> results;

struct Fixture {
    Size size;
    QString path;
    std::unique_ptr<SqliteConnection> connection;
};

// The floor: every cell of every row read as text, nothing kept.
size_t stepAsText(sqlite3* db) {
    const QByteArray sql = Sql::allCustomers().sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    size_t bytes = 0;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
            bytes += size_t(sqlite3_column_bytes(st, c));
        }
    sqlite3_finalize(st);
    return bytes;
}

size_t mallocInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void benchFloor(benchmark::State& state, Fixture* fixture) {
    Timing total;
    SizeResult& result = results[fixture->size];
    for (auto _ : state) {
        const Stopwatch watch;
        result.cellBytes = stepAsText(fixture->connection->handle());
        watch.addTo(total);
    }
    result.floor = perIteration(total, state);
    state.counters["rows"] = fixture->size.rows;
}

void benchQuery(benchmark::State& state, Fixture* fixture) {
    Timing total;
    const int rows = fixture->size.rows;
    SizeResult& result = results[fixture->size];
    Query query("Qry_Cust", fixture->connection.get());
    query.setCommand(Sql::allCustomers());
    for (auto _ : state) {
        const size_t before = mallocInUse();
        const Stopwatch watch;
        query.open();
        watch.addTo(total);
        result.mallocBytes = mallocInUse() - before;
        result.heldBytes = query.bytesHeld();
        if (query.recordCount() != rows)
            state.SkipWithError("wrong row count");
        state.PauseTiming(); // closing is not part of opening
        query.close();
        state.ResumeTiming();
    }
    result.query = perIteration(total, state);
}

// In a child process: the program's heap after adding fields would slow the opens measured here.
void addFieldsApart(const QString& path, int fields) {
    const pid_t child = fork();
    if (child == 0) {
        BenchData::addShopFields(path, fields);
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "adding the shop's fields failed\n");
        std::exit(1);
    }
}

void printRatios() {
    std::printf("\n%9s %6s %9s %9s %9s %9s %9s %9s %9s %11s %12s\n", "rows", "fields", "floor ms",
                "Query ms", "ratio", "floorCPU", "QueryCPU", "ratioCPU", "ns/row", "held/cells",
                "malloc/cells");
    for (const auto& [size, r] : results) {
        const double cells = double(r.cellBytes);
        const int rows = size.rows;
        std::printf("%9d %6d %9.1f %9.1f %9.2f %9.1f %9.1f %9.2f %9.0f %11.2f %12.2f\n", rows,
                    size.fields, r.floor.wall * 1e3, r.query.wall * 1e3,
                    r.query.wall / r.floor.wall, r.floor.cpu * 1e3, r.query.cpu * 1e3,
                    r.query.cpu / r.floor.cpu, r.query.cpu * 1e9 / rows,
                    double(r.heldBytes) / cells, double(r.mallocBytes) / cells);
    }
    std::printf("cells: UTF-8 bytes of every cell read as text; ns/row: Query processor time; "
                "fields: the shop's own besides the delivered ones\n");
    for (const auto& [size, s] : results) {
        if (size.rows != 100'000)
            continue;
        const std::string open =
            size.fields ? "open 100k with " + std::to_string(size.fields) + " shop fields"
                        : std::string("open 100k");
        BenchData::printBar(open + ", time against the floor", s.query.wall / s.floor.wall, 1.6);
        BenchData::printBar(open + ", processor time against the floor", s.query.cpu / s.floor.cpu,
                            1.6);
        BenchData::printBar(open + ", memory against its UTF-8 cells",
                            double(s.heldBytes) / double(s.cellBytes), 2.0);
    }
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QCoreApplication> app(argc, argv);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Fixture>> fixtures;
    std::vector<Size> sizes;
    for (int rows : BenchData::sizesUpTo({10'000, 100'000, 1'000'000}, "OPEN_BENCH_MAX_ROWS")) {
        sizes.push_back({rows, 0});
        if (rows == 100'000)
            sizes.push_back({rows, 10});
    }
    for (const Size& size : sizes) {
        auto fixture = std::make_unique<Fixture>();
        fixture->size = size;
        fixture->path = BenchData::customerDatabase(
            dir.filePath(QString("customers-%1-%2.db").arg(size.rows).arg(size.fields)), size.rows);
        if (size.fields) // the shop's fields need the migrated database; the rest stay as made
            addFieldsApart(fixture->path, size.fields);
        fixture->connection = openSqliteDatabase(fixture->path);
        const int iterations = size.rows >= 1'000'000 ? 3 : size.rows >= 100'000 ? 10 : 50;
        std::string name = std::to_string(size.rows);
        if (size.fields)
            name += "+" + std::to_string(size.fields) + "fields";
        BenchData::registerPair(name, "Query::open", iterations, benchFloor, benchQuery,
                                fixture.get());
        fixtures.push_back(std::move(fixture));
    }
    return BenchData::runAndPrint(printRatios);
}
