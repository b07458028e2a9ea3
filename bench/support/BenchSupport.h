#pragma once

// What every benchmark program shares: its sizes, its pairs of floor and measured runs, and the
// customer list's column layout.

#include "data/MessageService.h"
#include "data/Query.h"
#include "data/SqliteEngine.h"
#include "grid/DataGrid.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace BenchData {

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

// The sizes to run, without those above the row count the environment variable gives.
std::vector<int> sizesUpTo(std::vector<int> sizes, const char* maxRowsVariable);

// Registers "floor/<name>" and "<measured>/<name>" with the same iterations, in milliseconds.
template <class Floor, class Measured, class... Args>
void registerPair(const std::string& name, const std::string& measured, int iterations, Floor floor,
                  Measured measure, Args... args) {
    benchmark::RegisterBenchmark(("floor/" + name).c_str(), floor, args...)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((measured + "/" + name).c_str(), measure, args...)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
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

// The floor of the export benchmarks: the grid's cells read from the query and written as CSV
// lines with plain buffered writes, numbers as digits, nothing quoted.
void writePlainCsv(const Query& query, const DataGrid& grid, const QString& path);

} // namespace BenchData
