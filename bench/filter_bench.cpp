// The customer list's 筛选 by a choice of the shop's own field 客户来源, among ten such fields,
// through the real window: from the choice picked until the list shows its rows and the status
// bar their count, beside the floor (the window's statement stepped through plain sqlite3, every
// cell read as text) and beside the same statement without the column's index. Two choices: one
// that 1 % of the customers hold, one that 40 % hold.

#include "bench/support/BenchSupport.h"
#include "bench/support/ShopFields.h"
#include "bench/support/window/ListProgram.h"

#include <QApplication>
#include <QComboBox>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

using BenchData::Clock;
using BenchData::secondsSince;

struct Program : BenchData::ListProgram {
    explicit Program(int rows) : ListProgram("filter_bench") {
        BenchData::customerDatabase(databasePath(), rows);
        BenchData::addShopFields(databasePath(), 10);
        open();
    }
    QComboBox* sourceFilter() const {
        for (QComboBox* box : list->filterBoxes())
            if (box->toolTip().endsWith(QStringLiteral("客户来源")))
                return box;
        return nullptr;
    }
};

struct Case {
    const char* name;
    const QString& choice;
};

const Case cases[] = {{"1pct", BenchData::rareSource}, {"40pct", BenchData::commonSource}};

struct Result : BenchData::IndexedFloor {
    double pickSeconds = 0;
};

std::map<std::pair<int, std::string>, Result> results;

// The statement the window ran for the choice, as the floor steps it.
SqlCommand windowStatement(Program* program, const Case& c) {
    QComboBox* box = program->sourceFilter();
    box->setCurrentIndex(box->findText(c.choice));
    program->waitForSearch();
    const SqlCommand command = program->data->Qry_Cust.command();
    const QSignalBlocker quiet(box); // back to 全部 without reading every customer again
    box->setCurrentIndex(0);
    return command;
}

void benchFloor(benchmark::State& state, Program* program, int rows, Case c) {
    const SqlCommand command = windowStatement(program, c);
    SqlCommand scan = command;
    scan.sql.replace(QStringLiteral("from Custom "), QStringLiteral("from Custom NOT INDEXED "),
                     Qt::CaseInsensitive);
    static_cast<BenchData::IndexedFloor&>(results[{rows, c.name}]) =
        BenchData::indexedFloor(state, program->databasePath(), command, scan);
}

void benchPick(benchmark::State& state, Program* program, int rows, Case c) {
    QComboBox* box = program->sourceFilter();
    const int index = box->findText(c.choice);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        box->setCurrentIndex(index);
        program->waitForSearch();
        seconds += secondsSince(start);
        state.PauseTiming(); // painting is not part of the answer
        QApplication::processEvents();
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(0);
        state.ResumeTiming();
    }
    Result& result = results[{rows, c.name}];
    if (program->data->Qry_Cust.recordCount() != result.rows)
        state.SkipWithError("the window found other rows than the floor");
    result.pickSeconds = seconds / double(state.iterations());
}

void printRatios() {
    std::printf("\n%9s %6s %9s %10s %10s %7s %12s %8s\n", "rows", "case", "matches", "floor ms",
                "filter ms", "ratio", "full scan ms", "index x");
    for (const auto& [key, r] : results)
        std::printf("%9d %6s %9d %10.1f %10.1f %7.2f %12.1f %8.1f\n", key.first, key.second.c_str(),
                    r.rows, r.seconds * 1e3, r.pickSeconds * 1e3, r.pickSeconds / r.seconds,
                    r.scanSeconds * 1e3, r.scanSeconds / r.seconds);
    std::printf("filter: the choice picked until the list and its count show; full scan: the "
                "floor's statement without the column's index\n");
    for (const auto& [key, r] : results) {
        const std::string size =
            key.first >= 1'000'000 ? "1M" : std::to_string(key.first / 1000) + "k";
        if (key.second == "1pct")
            BenchData::printBar("filter " + size + ", a choice 1% hold", r.pickSeconds * 1e3, 100,
                                " ms");
        else
            BenchData::printBar("filter " + size + ", a choice 40% hold, against the floor",
                                r.pickSeconds / r.seconds, 1.8);
    }
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QApplication> app(argc, argv);
    std::vector<std::unique_ptr<Program>> programs;
    for (int rows : BenchData::sizesUpTo({100'000, 1'000'000}, "FILTER_BENCH_MAX_ROWS")) {
        programs.push_back(std::make_unique<Program>(rows));
        for (const Case& c : cases) {
            const int iterations = rows >= 1'000'000 && c.name[0] == '4' ? 3 : 10;
            const std::string name = std::string(c.name) + "/" + std::to_string(rows);
            BenchData::registerPair(name, "filter", iterations, benchFloor, benchPick,
                                    programs.back().get(), rows, c);
        }
    }
    return BenchData::runAndPrint(printRatios);
}
