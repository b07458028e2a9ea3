#include "bench/support/BenchSupport.h"

#include "bench/support/CustomerGenerator.h"
#include "data/JetFunctions.h"
#include "data/Statements.h"

#include <ctime>
#include <sqlite3.h>

#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace BenchData {

double threadProcessorMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

int FailingMessages::present(const MessageBoxRequest& request) {
    std::fprintf(stderr, "unexpected box: %s\n", qPrintable(request.text));
    std::abort();
}

void printBar(const std::string& what, double figure, double most, const char* unit) {
    std::printf("bar: %s: %.2f%s (bar <= %.2f%s) %s\n", what.c_str(), figure, unit, most, unit,
                figure <= most ? "ok" : "short");
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double meanSeconds(benchmark::State& state, const std::function<void()>& run,
                   const std::function<void()>& setUp) {
    double total = 0;
    for (auto _ : state) {
        if (setUp)
            setUp();
        const auto start = Clock::now();
        run();
        total += secondsSince(start);
    }
    return total / double(state.iterations());
}

int runAndPrint(void (*printFigures)()) {
    benchmark::RunSpecifiedBenchmarks();
    printFigures();
    benchmark::Shutdown();
    return 0;
}

void preferOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::vector<int> sizesUpTo(std::vector<int> sizes, const char* maxRowsVariable) {
    if (qEnvironmentVariableIsSet(maxRowsVariable)) {
        const int most = qEnvironmentVariableIntValue(maxRowsVariable);
        std::erase_if(sizes, [most](int n) { return n > most; });
    }
    return sizes;
}

QString customerDatabase(const QString& path, int rows) {
    createDatabase(path, CUSTDESK_SCHEMA_SQL);
    addCustomers(path, rows);
    return path;
}

CustomerListGrid::CustomerListGrid(const QString& path, bool withCustomerCode)
    : connection(openSqliteDatabase(path)),
      query(std::make_unique<Query>("Qry_Cust", connection.get())),
      grid(std::make_unique<DataGrid>()) {
    query->setCommand(Sql::allCustomers());
    query->open();
    grid->setFooterRowCount(1);
    grid->setQuery(query.get());
    std::vector<std::pair<const char*, int>> columns = {{"Company", 160}, {"tel", 110},
                                                        {"Mobile", 110},  {"OtherInfo", 110},
                                                        {"AddDate", 90},  {"memo2", 260}};
    if (withCustomerCode)
        columns.push_back({"CustCode", 70});
    for (const auto& [field, width] : columns) {
        GridColumn column;
        column.fieldName = field;
        column.width = width;
        column.titleButton = true;
        grid->addColumn(column);
    }
    GridColumn first = grid->column(0);
    first.footerKind = fvtStaticText;
    first.footerText = "总计";
    grid->setColumn(0, first);
    GridColumn second = grid->column(1);
    second.footerKind = fvtCount;
    grid->setColumn(1, second);
}

CustomerListFixture::CustomerListFixture(int customers, bool withCustomerCode)
    : list(customerDatabase(dir.filePath("customers.db"), customers), withCustomerCode) {}

int stepStatement(sqlite3* db, const SqlCommand& command) {
    const QByteArray sql = command.sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    for (int i = 0; i < command.params.size(); ++i) {
        const QByteArray text = command.params[i].toString().toUtf8();
        sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    int rows = 0;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c)
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
    }
    sqlite3_finalize(st);
    return rows;
}

IndexedFloor indexedFloor(benchmark::State& state, const QString& path, const SqlCommand& command,
                          const SqlCommand& scan) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    registerJetFunctions(db);
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr); // as the program's
    IndexedFloor floor;
    for (auto _ : state) {
        auto start = Clock::now();
        floor.rows = stepStatement(db, command);
        floor.seconds += secondsSince(start);
        state.PauseTiming();
        start = Clock::now();
        if (stepStatement(db, scan) != floor.rows)
            state.SkipWithError("the index found other rows than the full scan");
        floor.scanSeconds += secondsSince(start);
        state.ResumeTiming();
    }
    sqlite3_close(db);
    floor.seconds /= double(state.iterations());
    floor.scanSeconds /= double(state.iterations());
    return floor;
}

void writePlainCsv(const Query& query, const DataGrid& grid, const QString& path) {
    std::FILE* out = std::fopen(path.toLocal8Bit().constData(), "wb");
    QByteArray line;
    for (int c = 0; c < grid.columnCount(); ++c)
        line += grid.columnTitle(c).toUtf8() + ',';
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), out);
    for (int row = 0; row < query.recordCount(); ++row) {
        line.clear();
        for (int c = 0; c < grid.columnCount(); ++c) {
            const int field = grid.columnField(c);
            if (query.field(field).kind == FieldKind::AutoInc)
                line += QByteArray::number(query.value(row, field).toLongLong());
            else
                line += query.displayText(row, field).toUtf8();
            line += ',';
        }
        line += '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), out);
    }
    std::fclose(out);
}

} // namespace BenchData
