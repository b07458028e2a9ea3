// One keystroke in the customer list's keyword box: the field lookup, the filtered statement,
// the layout of the grid and its footers, through the real window, beside the floor (the same
// LIKE statement with the same Jet-style like function stepped through plain sqlite3, every
// cell read as text). Two keywords per size: "" (every row) and one that matches about 1%.
// Beside them the full scan the search index spares: the plain LIKE on every row.

#include "bench/support/BenchSupport.h"
#include "bench/support/window/ListProgram.h"
#include "data/JetFunctions.h"
#include "data/Statements.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <sqlite3.h>

namespace {

using BenchData::Clock;
using BenchData::secondsSince;
using Program = BenchData::ListProgram;

struct Case {
    const char* name;
    const char* title; // the search field's display name
    const char* field;
    const char* keyword;
};

const Case cases[] = {{"all", "客户名称", "Company", ""}, {"1pct", "手机号码", "Mobile", "567"}};

struct Result {
    double floorSeconds = 0, keystrokeSeconds = 0, scanSeconds = 0;
    double windowBusySeconds = 0; // how long the key held the window's thread
    int matches = 0;
};

std::map<std::pair<int, std::string>, Result> results;

int stepSearch(sqlite3* db, const SqlCommand& command) {
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

void benchFloor(benchmark::State& state, Program* program, int rows, Case c) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(program->databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    registerJetFunctions(db);
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr); // as the program's
    Connection& connection = *program->data->ADOConnection1;
    const SqlCommand command = Sql::customerSearch(connection, c.field, c.keyword);
    SqlCommand scan = connection.Connection::containsCondition("Custom", c.field, c.keyword);
    scan.sql.prepend("Select * from Custom where ");
    double seconds = 0, scanSeconds = 0;
    Result& result = results[{rows, c.name}];
    for (auto _ : state) {
        auto start = Clock::now();
        result.matches = stepSearch(db, command);
        seconds += secondsSince(start);
        state.PauseTiming();
        start = Clock::now();
        if (stepSearch(db, scan) != result.matches)
            state.SkipWithError("the index found other rows than the full scan");
        scanSeconds += secondsSince(start);
        state.ResumeTiming();
    }
    sqlite3_close(db);
    result.floorSeconds = seconds / double(state.iterations());
    result.scanSeconds = scanSeconds / double(state.iterations());
}

void benchKeystroke(benchmark::State& state, Program* program, int rows, Case c) {
    TFrm_Custom& list = *program->list;
    list.Combo_Type->setCurrentIndex(list.Combo_Type->findText(QString::fromUtf8(c.title)));
    list.Edit_Key->setText(QString::fromUtf8(c.keyword));
    double seconds = 0, echo = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        list.Edit_KeyKeyUp(Qt::Key_7);
        echo += secondsSince(start);
        program->waitForSearch();
        seconds += secondsSince(start);
        state.PauseTiming(); // painting is not part of the keystroke
        QApplication::processEvents();
        state.ResumeTiming();
    }
    results[{rows, c.name}].windowBusySeconds = echo / double(state.iterations());
    if (program->data->Qry_Cust.recordCount() != results[{rows, c.name}].matches)
        state.SkipWithError("the window found other rows than the floor");
    results[{rows, c.name}].keystrokeSeconds = seconds / double(state.iterations());
}

void printRatios() {
    std::printf("\n%9s %6s %9s %10s %13s %7s %10s %12s %8s\n", "rows", "case", "matches",
                "floor ms", "keystroke ms", "ratio", "window ms", "full scan ms", "index x");
    for (const auto& [key, r] : results)
        std::printf("%9d %6s %9d %10.1f %13.1f %7.2f %10.2f %12.1f %8.1f\n", key.first,
                    key.second.c_str(), r.matches, r.floorSeconds * 1e3, r.keystrokeSeconds * 1e3,
                    r.keystrokeSeconds / r.floorSeconds, r.windowBusySeconds * 1e3,
                    r.scanSeconds * 1e3, r.scanSeconds / r.floorSeconds);
    std::printf("keystroke: key released until its result shows; window: how long the key held "
                "the window's thread; full scan: the same statement without the index\n");
    for (const auto& [key, r] : results) {
        const std::string size =
            key.first >= 1'000'000 ? "1M" : std::to_string(key.first / 1000) + "k";
        if (key.second == "all" && key.first == 100'000)
            BenchData::printBar("search 100k, every row matching, against the floor",
                                r.keystrokeSeconds / r.floorSeconds, 1.8);
        if (key.second == "1pct")
            BenchData::printBar("search " + size + ", 1% matching", r.keystrokeSeconds * 1e3,
                                key.first >= 1'000'000 ? 50 : 20, " ms");
        BenchData::printBar("search " + size + " " + key.second + ", window's thread held",
                            r.windowBusySeconds * 1e3, 50, " ms");
    }
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QApplication> app(argc, argv);
    std::vector<std::unique_ptr<Program>> programs;
    for (int rows : BenchData::sizesUpTo({100'000, 1'000'000}, "SEARCH_BENCH_MAX_ROWS")) {
        programs.push_back(std::make_unique<Program>("search_bench", rows));
        for (const Case& c : cases) {
            const bool large = rows >= 1'000'000 && c.keyword[0] == '\0';
            const int iterations = large ? 3 : 10;
            const std::string name = std::string(c.name) + "/" + std::to_string(rows);
            BenchData::registerPair(name, "keystroke", iterations, benchFloor, benchKeystroke,
                                    programs.back().get(), rows, c);
        }
    }
    return BenchData::runAndPrint(printRatios);
}
