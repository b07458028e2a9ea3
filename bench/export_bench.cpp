// Saving the customer list as a worksheet: 65,534 generated customers (the most a sheet holds
// beside the title and footer rows) in the seven customer columns, written through the export
// as the command writes them. Beside it the floor: the same cells read from the query and
// written as CSV text with plain buffered writes. Prints both and their ratio.

#include "bench/support/BenchSupport.h"
#include "grid/ExcelExport.h"

#include <QApplication>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int customerCount = 65'534;

using Fixture = BenchData::CustomerListFixture;

struct Figures {
    double exportSeconds = 0, floorSeconds = 0;
    qint64 exportBytes = 0, floorBytes = 0;
} figures;

void benchExport(benchmark::State& state, Fixture* f) {
    const QString path = f->path("customers.xls");
    figures.exportSeconds = BenchData::meanSeconds(
        state, [&] { writeGridWorksheet(*f->list.query, *f->list.grid, path); });
    figures.exportBytes = QFileInfo(path).size();
}

void benchFloor(benchmark::State& state, Fixture* f) {
    const QString path = f->path("customers.csv");
    figures.floorSeconds = BenchData::meanSeconds(
        state, [&] { BenchData::writePlainCsv(*f->list.query, *f->list.grid, path); });
    figures.floorBytes = QFileInfo(path).size();
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
    BenchData::Application<QApplication> app(argc, argv);
    Fixture f(customerCount, true);
    BenchData::registerPair("export", "xls", 5, benchFloor, benchExport, &f);
    return BenchData::runAndPrint(printFigures);
}
