// Saving the customer list as a worksheet: 65,534 generated customers (the most a sheet holds
// beside the title and footer rows) in the seven customer columns, written through the export
// as the command writes them. Beside it the floor: the same cells read from the query and
// written as CSV text with plain buffered writes. Prints both and their ratio.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/Query.h"
#include "data/SqliteEngine.h"
#include "data/Statements.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int customerCount = 65'534;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<BenchData::CustomerListGrid> list;
};

struct Figures {
    double exportSeconds = 0, floorSeconds = 0;
    qint64 exportBytes = 0, floorBytes = 0;
} figures;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Times write into path; keeps the mean seconds per iteration and the size of the file.
void timeWriting(benchmark::State& state, const QString& path,
                 const std::function<void(const QString&)>& write, double& meanSeconds,
                 qint64& bytes) {
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        write(path);
        total += seconds(start);
    }
    meanSeconds = total / double(state.iterations());
    bytes = QFileInfo(path).size();
}

void benchExport(benchmark::State& state, Fixture* f) {
    timeWriting(
        state, f->dir.filePath("customers.xls"),
        [f](const QString& path) { writeGridWorksheet(*f->list->query, *f->list->grid, path); },
        figures.exportSeconds, figures.exportBytes);
}

void benchFloor(benchmark::State& state, Fixture* f) {
    timeWriting(
        state, f->dir.filePath("customers.csv"),
        [f](const QString& path) {
            BenchData::writePlainCsv(*f->list->query, *f->list->grid, path);
        },
        figures.floorSeconds, figures.floorBytes);
}

void printFigures() {
    std::printf("\n%9s %8s %10s %10s %10s %10s %7s\n", "customers", "columns", "export ms",
                "floor ms", "xls MB", "csv MB", "ratio");
    std::printf("%9d %8d %10.1f %10.1f %10.2f %10.2f %7.2f\n", customerCount, 7,
                figures.exportSeconds * 1e3, figures.floorSeconds * 1e3, figures.exportBytes / 1e6,
                figures.floorBytes / 1e6, figures.exportSeconds / figures.floorSeconds);
    std::printf("ratio: export against the CSV floor\n");
    BenchData::printBar("export .xls against the CSV floor",
                        figures.exportSeconds / figures.floorSeconds, 1.3);
}

} // namespace

int main(int argc, char** argv) {
    BenchData::preferOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture f;
    const QString path = f.dir.filePath("customers.db");
    BenchData::createDatabase(path, CUSTDESK_SCHEMA_SQL);
    BenchData::addCustomers(path, customerCount);
    f.list = std::make_unique<BenchData::CustomerListGrid>(path, true);

    BenchData::registerPair("export", "xls", 5, benchFloor, benchExport, &f);
    return BenchData::runAndPrint(printFigures);
}
