// The modern formats over 100,000 generated customers in the seven customer columns: writing
// them as a workbook and as CSV through the export, against the floor of the same cells written
// as plain CSV lines; and importing the exported CSV and workbook into an empty database,
// against the floor of only reading the CSV file's rows. Prints the figures and the ratios.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/sqlite/SqliteEngine.h"
#include "grid/ExcelExport.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int customerCount = 100'000;

using Fixture = BenchData::CustomerListFixture;

struct Figures {
    double plainCsv = 0, xlsx = 0, csv = 0, readCsv = 0, importCsv = 0, importXlsx = 0;
    qint64 imported = 0;
} figures;

void exportAs(Fixture* f, ExportFormat format, const char* name) {
    writeGridFile(format, *f->list.query, *f->list.grid, f->path(name), nullptr);
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
    figures.plainCsv = BenchData::meanSeconds(state, [f] {
        BenchData::writePlainCsv(*f->list.query, *f->list.grid, f->path("plain.csv"));
    });
}

void benchXlsx(benchmark::State& state, Fixture* f) {
    figures.xlsx =
        BenchData::meanSeconds(state, [f] { exportAs(f, ExportFormat::Xlsx, "customers.xlsx"); });
}

void benchCsv(benchmark::State& state, Fixture* f) {
    figures.csv =
        BenchData::meanSeconds(state, [f] { exportAs(f, ExportFormat::Csv, "customers.csv"); });
}

void benchReadCsv(benchmark::State& state, Fixture* f) {
    figures.readCsv = BenchData::meanSeconds(state, [f] {
        ImportFile source = openImportFile(f->path("customers.csv"));
        QVariantList cells;
        while (source.rows->next(cells))
            benchmark::DoNotOptimize(cells);
    });
}

// The import writes into an empty database each time; making it goes before the clock starts.
void benchImportCsv(benchmark::State& state, Fixture* f) {
    figures.importCsv = BenchData::meanSeconds(
        state, [f] { importInto(f, "customers.csv"); }, [f] { freshTarget(f); });
}

void benchImportXlsx(benchmark::State& state, Fixture* f) {
    figures.importXlsx = BenchData::meanSeconds(
        state, [f] { importInto(f, "customers.xlsx"); }, [f] { freshTarget(f); });
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
    BenchData::Application<QApplication> app(argc, argv);
    Fixture f(customerCount, true);
    BenchData::registerPair("export", "xlsx", 3, benchPlainCsv, benchXlsx, &f);
    BenchData::registerTimed("csv/export", 3, benchCsv, &f);
    BenchData::registerPair("import", "import", 3, benchReadCsv, benchImportCsv, &f);
    BenchData::registerTimed("import-xlsx/import", 3, benchImportXlsx, &f);
    return BenchData::runAndPrint(printFigures);
}
