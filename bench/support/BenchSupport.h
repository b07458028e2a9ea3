#pragma once

// What every benchmark program shares: its application, clock, sizes and generated databases,
// its pairs of floor and measured runs, and the customer list's column layout.

#include "data/MessageService.h"
#include "data/ProcessSetup.h"
#include "data/Query.h"
#include "data/sqlite/SqliteEngine.h"
#include "grid/DataGrid.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace BenchData {

using Clock = std::chrono::steady_clock;

// Wall time since start.
inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}
inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of the whole process, every thread: the machine may be shared, and processor
// time is what the other work on it disturbs least.
double processSeconds();

// This thread's processor time, ms: others sharing the cores disturb it less than wall time.
double threadProcessorMs();

// Medians of wall and this thread's processor time, ms.
struct Timing {
    double wall = 0, processor = 0;
};

// Runs run(i) runs times; the medians of both clocks.
template <class F> Timing medianMs(int runs, F run) {
    std::vector<double> wall, processor;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const double startProcessor = threadProcessorMs();
        run(i);
        processor.push_back(threadProcessorMs() - startProcessor);
        wall.push_back(msSince(start));
    }
    std::sort(wall.begin(), wall.end());
    std::sort(processor.begin(), processor.end());
    return {wall[wall.size() / 2], processor[processor.size() / 2]};
}

// The shortest wall seconds of runs calls of f.
template <class F> double bestOf(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// The mean wall seconds of run over the state's iterations; setUp goes before the clock starts.
double meanSeconds(benchmark::State& state, const std::function<void()>& run,
                   const std::function<void()>& setUp = {});

// A box during a benchmark is a failure: it stops the run instead of waiting for an answer.
class FailingMessages : public MessageService {
  public:
    explicit FailingMessages(const char* program) : MessageService(program) {}

  protected:
    int present(const MessageBoxRequest& request) override;
};

// Runs the registered benchmarks, then prints the program's own table of figures.
int runAndPrint(void (*printFigures)());

// One line "bar: <what>: <figure> (bar <= <most>) ok|short", which scripts/bench.sh gathers.
void printBar(const std::string& what, double figure, double most, const char* unit = "");

// Widget benchmarks draw offscreen unless the environment names a platform.
void preferOffscreen();

// The program's application (QCoreApplication or QApplication) in a process set up as the
// program sets up its own, then the benchmark library's flags taken from what is left of the
// command line.
template <class App> class Application {
  public:
    Application(int& argc, char** argv) : app_(processFirst(argc), argv) {
        benchmark::Initialize(&argc, argv);
    }

  private:
    static int& processFirst(int& argc) {
        prepareProcess();
        if constexpr (std::is_base_of_v<QGuiApplication, App>)
            preferOffscreen();
        return argc;
    }

    App app_;
};

// The sizes to run, without those above the row count the environment variable gives.
std::vector<int> sizesUpTo(std::vector<int> sizes, const char* maxRowsVariable);

// Creates the database at path from the delivered schema with rows generated customers; gives
// back path.
QString customerDatabase(const QString& path, int rows);

// Registers the benchmark name with the given iterations, in milliseconds.
template <class F, class... Args>
void registerTimed(const std::string& name, int iterations, F run, Args... args) {
    benchmark::RegisterBenchmark(name.c_str(), run, args...)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
}

// Registers "floor/<name>" and "<measured>/<name>" with the same iterations, in milliseconds.
template <class Floor, class Measured, class... Args>
void registerPair(const std::string& name, const std::string& measured, int iterations, Floor floor,
                  Measured measure, Args... args) {
    registerTimed("floor/" + name, iterations, floor, args...);
    registerTimed(measured + "/" + name, iterations, measure, args...);
}

// All customers of the database at path in a grid with the customer list's shown columns of
// the delivered layout and its total and count footers; the customer code as a seventh column
// when asked.
struct CustomerListGrid {
    CustomerListGrid(const QString& path, bool withCustomerCode = false);

    std::unique_ptr<SqliteConnection> connection;
    std::unique_ptr<Query> query;
    std::unique_ptr<DataGrid> grid;
};

// A scratch folder with customers.db of the given number of generated customers, and the
// customer list's grid over it.
struct CustomerListFixture {
    CustomerListFixture(int customers, bool withCustomerCode = false);
    QString path(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    CustomerListGrid list;
};

// Steps the statement through plain sqlite3, every cell of every row read as text; gives the
// number of rows. The floor of the statements the customer list runs.
int stepStatement(sqlite3* db, const SqlCommand& command);

// A statement of the customer list and the same one without its index, each stepped through
// plain sqlite3 on the database at path as the program opens it, every iteration of the state;
// only the first is timed for the state. Mean wall seconds of each, and the rows found.
struct IndexedFloor {
    double seconds = 0, scanSeconds = 0;
    int rows = 0;
};
IndexedFloor indexedFloor(benchmark::State& state, const QString& path, const SqlCommand& command,
                          const SqlCommand& scan);

// The floor of the export benchmarks: the grid's cells read from the query and written as CSV
// lines with plain buffered writes, numbers as digits, nothing quoted.
void writePlainCsv(const Query& query, const DataGrid& grid, const QString& path);

} // namespace BenchData
