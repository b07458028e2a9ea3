// The modern formats over 100,000 generated customers in the seven customer columns: writing
// them as a workbook and as CSV through the export, against the floor of the same cells written
// as plain CSV lines; and importing the exported CSV and workbook into an empty database,
// against the floor of only reading the CSV file's rows. Prints the figures and the ratios.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/SqliteEngine.h"
#include "grid/ExcelExport.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int customerCount = 100'000;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<BenchData::CustomerListGrid> list;
    QString path(const char* name) const { return dir.filePath(name); }
};

struct Figures {
    double plainCsv = 0, xlsx = 0, csv = 0, readCsv = 0, importCsv = 0, importXlsx = 0;
    qint64 imported = 0;
} figures;

// Times each run; set up goes before the clock starts.
void timeRuns(benchmark::State& state, double& meanSeconds, const std::function<void()>& setUp,
              const std::function<void()>& run) {
    double total = 0;
    for (auto _ : state) {
        setUp();
        const auto start = Clock::now();
        run();
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    meanSeconds = total / double(state.iterations());
}

void exportAs(Fixture* f, ExportFormat format, const char* name) {
    writeGridFile(format, *f->list->query, *f->list->grid, f->path(name), nullptr);
}

void importInto(Fixture* f, const char* file) {
    const QString target = f->path("target.db");
    auto connection = openSqliteDatabase(target);
    ImportFile source = openImportFile(f->path(file));
    const QStringList mapping = matchTitles(source.titles, importFields(*connection));
    figures.imported = importCustomers(*connection, *source.rows, mapping, {}).added;
}

void freshTarget(Fixture* f) {
    BenchData::createDatabase(f->path("target.db"), CUSTDESK_SCHEMA_SQL);
}

void benchPlainCsv(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.plainCsv, [] {},
        [f] { BenchData::writePlainCsv(*f->list->query, *f->list->grid, f->path("plain.csv")); });
}

void benchXlsx(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.xlsx, [] {}, [f] { exportAs(f, ExportFormat::Xlsx, "customers.xlsx"); });
}

void benchCsv(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.csv, [] {}, [f] { exportAs(f, ExportFormat::Csv, "customers.csv"); });
}

void benchReadCsv(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.readCsv, [] {},
        [f] {
            ImportFile source = openImportFile(f->path("customers.csv"));
            QVariantList cells;
            while (source.rows->next(cells))
                benchmark::DoNotOptimize(cells);
        });
}

void benchImportCsv(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.importCsv, [f] { freshTarget(f); }, [f] { importInto(f, "customers.csv"); });
}

void benchImportXlsx(benchmark::State& state, Fixture* f) {
    timeRuns(
        state, figures.importXlsx, [f] { freshTarget(f); },
        [f] { importInto(f, "customers.xlsx"); });
}

void printFigures() {
    std::printf("\n%9s %12s %10s %10s %7s\n", "customers", "plain csv ms", "xlsx ms", "csv ms",
                "ratio");
    std::printf("%9d %12.1f %10.1f %10.1f %7.2f\n", customerCount, figures.plainCsv * 1e3,
                figures.xlsx * 1e3, figures.csv * 1e3, figures.xlsx / figures.plainCsv);
    std::printf("ratio: workbook against the plain CSV floor (target at most 2)\n");
    std::printf("\n%9s %12s %14s %15s %7s\n", "customers", "read csv ms", "import csv ms",
                "import xlsx ms", "ratio");
    std::printf("%9lld %12.1f %14.1f %15.1f %7.2f\n", figures.imported, figures.readCsv * 1e3,
                figures.importCsv * 1e3, figures.importXlsx * 1e3,
                figures.importCsv / figures.readCsv);
    std::printf("ratio: CSV import against only reading its rows; target under 3000 ms\n");
}

} // namespace

int main(int argc, char** argv) {
    BenchData::preferOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture f;
    const QString path = f.path("customers.db");
    BenchData::createDatabase(path, CUSTDESK_SCHEMA_SQL);
    BenchData::addCustomers(path, customerCount);
    f.list = std::make_unique<BenchData::CustomerListGrid>(path, true);

    BenchData::registerPair("export", "xlsx", 3, benchPlainCsv, benchXlsx, &f);
    benchmark::RegisterBenchmark("csv/export", benchCsv, &f)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    BenchData::registerPair("import", "import", 3, benchReadCsv, benchImportCsv, &f);
    benchmark::RegisterBenchmark("import-xlsx/import", benchImportXlsx, &f)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    return BenchData::runAndPrint(printFigures);
}
