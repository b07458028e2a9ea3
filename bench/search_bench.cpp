// One keystroke in the customer list's keyword box: the field lookup, the filtered statement,
// the layout of the grid and its footers, through the real window, beside the floor (the same
// LIKE statement with the same Jet-style like function stepped through plain sqlite3, every
// cell read as text). Two keywords per size: "" (every row) and one that matches about 1%.
// Beside them the full scan the search index spares: the plain LIKE on every row.

#include "bench/support/BenchSupport.h"
#include "bench/support/window/ListProgram.h"
#include "data/JetFunctions.h"
#include "data/QueryStore.h"
#include "data/Statements.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
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
        result.matches = BenchData::stepStatement(db, command);
        seconds += secondsSince(start);
        state.PauseTiming();
        start = Clock::now();
        if (BenchData::stepStatement(db, scan) != result.matches)
            state.SkipWithError("the index found other rows than the full scan");
        scanSeconds += secondsSince(start);
        state.ResumeTiming();
    }
    sqlite3_close(db);
    result.floorSeconds = seconds / double(state.iterations());
    result.scanSeconds = scanSeconds / double(state.iterations());
}

// Per keystroke, in ms: its own statement stepped alone through plain sqlite3 right after it,
// the same statement read as the window's reader connection reads it (column details, result
// stored), and the keystroke's phases on the window's side.
struct Phases {
    std::vector<double> statement, read, key, arrived, adopted, shown, paint, painted;
    int keystrokes = 0, paints = 0;
};
std::map<std::pair<int, std::string>, Phases> phases;

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double best(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The keystroke's own statement and its reading, timed apart from it on connections of their own.
struct Apart {
    explicit Apart(Program* program) : reader(program->data->openReader()) {
        sqlite3_open_v2(program->databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        registerJetFunctions(db);
        sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    }
    ~Apart() { sqlite3_close(db); }
    double statementMs(const SqlCommand& command) {
        const auto start = Clock::now();
        BenchData::stepStatement(db, command);
        return msBetween(start, Clock::now());
    }
    double readMs(const SqlCommand& command) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(QueryStore::read(*reader, command));
        return msBetween(start, Clock::now());
    }
    sqlite3* db = nullptr;
    std::unique_ptr<Connection> reader;
};

// When a keystroke's result reaches the window's thread (the loader's delivery) and when it is
// in the grid (the search button comes back as the last step of showing it).
struct Marks : QObject {
    explicit Marks(TFrm_Custom& list)
        : button(list.Btn_S_Cust), cells(list.Grid_Cust->view()->viewport()) {
        qApp->installEventFilter(this);
    }
    ~Marks() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* to, QEvent* event) override {
        if (event->type() == QEvent::MetaCall && to->inherits("QueryLoader"))
            arrival = Clock::now();
        else if (event->type() == QEvent::EnabledChange && to == button && button->isEnabled())
            inGrid = Clock::now();
        else if (event->type() == QEvent::Paint && to == cells)
            ++paints;
        return false;
    }
    QWidget* button;
    QWidget* cells;
    Clock::time_point arrival, adoption, inGrid;
    int paints = 0; // of the rows, however small
};

void benchKeystroke(benchmark::State& state, Program* program, int rows, Case c) {
    TFrm_Custom& list = *program->list;
    Query& customers = program->data->Qry_Cust;
    list.Combo_Type->setCurrentIndex(list.Combo_Type->findText(QString::fromUtf8(c.title)));
    list.Edit_Key->setText(QString::fromUtf8(c.keyword));
    Apart apart(program);
    Phases& p = phases[{rows, c.name}];
    double seconds = 0, echo = 0;
    Marks marks(list);
    const auto onAdopted =
        QObject::connect(list.Grid_Cust->view()->model(), &QAbstractItemModel::modelReset,
                         [&] { marks.adoption = Clock::now(); });
    for (auto _ : state) {
        marks.paints = 0;
        const auto start = Clock::now();
        list.Edit_KeyKeyUp(Qt::Key_7);
        const auto handed = Clock::now();
        program->waitForSearch();
        state.PauseTiming(); // the first paint is timed apart below
        QApplication::processEvents();
        const auto painted = Clock::now();
        echo += msBetween(start, handed) / 1e3;
        seconds += msBetween(start, marks.inGrid) / 1e3;
        p.key.push_back(msBetween(start, handed));
        p.arrived.push_back(msBetween(handed, marks.arrival));
        p.adopted.push_back(msBetween(marks.arrival, marks.adoption));
        p.shown.push_back(msBetween(start, marks.inGrid));
        p.paint.push_back(msBetween(marks.inGrid, painted));
        p.painted.push_back(msBetween(start, painted));
        p.statement.push_back(apart.statementMs(customers.command()));
        p.read.push_back(apart.readMs(customers.command()));
        QApplication::processEvents();
        ++p.keystrokes;
        p.paints += marks.paints;
        state.ResumeTiming();
    }
    QObject::disconnect(onAdopted);
    Result& r = results[{rows, c.name}];
    r.windowBusySeconds = echo / double(state.iterations());
    if (customers.recordCount() != r.matches)
        state.SkipWithError("the window found other rows than the floor");
    r.keystrokeSeconds = seconds / double(state.iterations());
}

// Where a keystroke's time goes, as medians: a loaded machine disturbs them less than means.
void printPhases() {
    std::printf("\n%9s %6s %10s %8s %8s %9s %8s %8s %9s %8s %9s %9s %7s %7s\n", "rows", "case",
                "statement", "key", "read", "hand-off", "adopt", "layout", "to result", "ratio",
                "paint", "painted x", "paints", "best x");
    for (const auto& [key, p] : phases) {
        const double handOff = median(p.arrived) - median(p.read);
        const double layout =
            median(p.shown) - median(p.key) - median(p.arrived) - median(p.adopted);
        std::printf(
            "%9d %6s %10.2f %8.2f %8.2f %9.2f %8.2f %8.2f %9.2f %8.2f %9.2f %9.2f %7.2f %7.2f\n",
            key.first, key.second.c_str(), median(p.statement), median(p.key), median(p.read),
            handOff, median(p.adopted), layout, median(p.shown),
            median(p.shown) / median(p.statement), median(p.paint),
            median(p.painted) / median(p.statement), double(p.paints) / std::max(1, p.keystrokes),
            best(p.shown) / best(p.statement));
    }
    std::printf("medians in ms over the keystrokes. No timer stands between a key and its "
                "search: to result runs from the key's release until the result is in the grid, "
                "laid out, its footers and count set, the window's thread free to paint it.\n"
                "statement: the same statement stepped alone through plain sqlite3 after each "
                "keystroke; key: the window builds the statement and hands it over; read: the "
                "statement as the reader connection reads and stores it, timed apart; hand-off: "
                "to the reader thread and back beyond read; adopt: the result taken over and the "
                "view reset; layout: columns, titles, count and footers; paint: the first paint "
                "of the new rows, after to result; painted x: key to the rows painted against the "
                "statement; paints: of the rows per keystroke; best x: the quickest to result "
                "against the quickest statement, what the load touches least\n");
    for (const auto& [key, p] : phases)
        if (key.second == "1pct" && key.first == 100'000) {
            // The key shows its result when the new rows are painted, not when they are set.
            std::printf("search 100k 1%%, key to result against its own statement: %.2f\n",
                        median(p.shown) / median(p.statement));
            BenchData::printBar("search 100k 1%, key to its result painted against its own "
                                "statement",
                                median(p.painted) / median(p.statement), 3.0);
        }
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
    printPhases();
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
            // The 1% keystroke is quick: more of them steady its medians on a loaded machine.
            const int iterations = large ? 3 : c.keyword[0] == '\0' ? 10 : 40;
            const std::string name = std::string(c.name) + "/" + std::to_string(rows);
            BenchData::registerPair(name, "keystroke", iterations, benchFloor, benchKeystroke,
                                    programs.back().get(), rows, c);
        }
    }
    return BenchData::runAndPrint(printRatios);
}
