// One keystroke in the customer list with the 拼音 box on, beside the plain search of the same
// run: the floor is the plain keystroke for the Chinese text the pinyin stands for; "letters"
// is the plain keystroke for the pinyin keyword itself (the box off), so pinyin minus letters
// is what reading the keyword as pinyin adds. Also the one-time reading of the keys, off the
// window's thread once the box is switched on, and their size against the texts they come from.
// Times are wall milliseconds from the keystroke to its result shown: what the operator waits.

#include "bench/support/BenchSupport.h"
#include "bench/support/window/ListProgram.h"
#include "customers/PinyinSearch.h"
#include "customers/pinyin/PinyinIndex.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <sqlite3.h>
#include <thread>

namespace {

using BenchData::Clock;
using BenchData::msSince;

struct Case {
    const char* name;
    const char* chinese; // what the operator would type without pinyin
    const char* pinyin;
};

// A long keyword: its plain search is quick through the index, so the pinyin part shows alone.
const Case cases[] = {
    {"narrow", "北京华信", "bjhx"}, {"broad", "科技", "kj"}, {"long", "科技有限", "kjyx"}};

// Wall time, and processor time of the whole process (every thread): the machine is shared.
struct Time {
    double wall = 0, cpu = 0;
};

struct Result {
    Time floor, letters, pinyin;
    int floorMatches = 0, pinyinMatches = 0;
};

struct SizeFigures {
    double switchOnMs = 0;                // the window's share of switching the box on
    double keysReadyMs = 0;               // until the keys of every customer are read
    double firstKeystrokeMs = 0;          // the first pinyin search after that
    double buildMs = 0;                   // the same keys built from texts already read
    std::map<std::string, double> scanMs; // finding a case's customers in the keys
    size_t textBytes = 0, keyBytes = 0, indexBytes = 0;
};

std::map<std::pair<int, std::string>, Result> results;
std::map<int, SizeFigures> sizes;

double cpuMs() {
    return BenchData::processSeconds() * 1e3;
}

struct Program : BenchData::ListProgram {
    explicit Program(int rows) : ListProgram("pinyin_bench", rows) {
        list->Combo_Type->setCurrentIndex(list->Combo_Type->findText("客户名称"));
    }

    // Milliseconds per keystroke, painting left out.
    Time keystrokes(benchmark::State& state, bool pinyin, const char* keyword) {
        list->Chk_Pinyin->setChecked(pinyin);
        list->Edit_Key->setText(QString::fromUtf8(keyword));
        Time total;
        for (auto _ : state) {
            const auto start = Clock::now();
            const double cpu = cpuMs();
            list->Edit_KeyKeyUp(Qt::Key_A);
            waitForSearch();
            total.wall += msSince(start);
            total.cpu += cpuMs() - cpu;
            state.PauseTiming();
            QApplication::processEvents();
            state.ResumeTiming();
        }
        const double n = double(state.iterations());
        return {total.wall / n, total.cpu / n};
    }
    int shown() const { return data->Qry_Cust.recordCount(); }
};

void benchFloor(benchmark::State& state, Program* program, int rows, Case c) {
    Result& r = results[{rows, c.name}];
    r.floor = program->keystrokes(state, false, c.chinese);
    r.floorMatches = program->shown();
}

void benchLetters(benchmark::State& state, Program* program, int rows, Case c) {
    results[{rows, c.name}].letters = program->keystrokes(state, false, c.pinyin);
}

void benchPinyin(benchmark::State& state, Program* program, int rows, Case c) {
    Result& r = results[{rows, c.name}];
    r.pinyin = program->keystrokes(state, true, c.pinyin);
    r.pinyinMatches = program->shown();
    if (r.pinyinMatches < r.floorMatches)
        state.SkipWithError("pinyin found fewer customers than their Chinese text");
}

// Switching the box on starts reading the keys off the window's thread; the same keys built
// apart give their size and the time to build them from texts already read.
void measureKeys(Program& program, int rows) {
    SizeFigures& f = sizes[rows];
    TFrm_Custom& list = *program.list;
    list.Edit_Key->clear();
    const auto start = Clock::now();
    list.Chk_Pinyin->click();
    f.switchOnMs = msSince(start);
    const auto keys = list.pinyinSearch().keys().current();
    while (keys && !keys->ready()) { // the window stays free meanwhile; no spinning on it
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    f.keysReadyMs = msSince(start);
    list.Edit_Key->setText("zz");
    const auto first = Clock::now();
    list.Edit_KeyKeyUp(Qt::Key_Z);
    program.waitForSearch();
    f.firstKeystrokeMs = msSince(first);
    sqlite3* db = nullptr;
    sqlite3_open_v2(program.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select CustCode, Company from Custom", -1, &st, nullptr);
    std::vector<std::pair<qint64, QString>> texts;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const int bytes = sqlite3_column_bytes(st, 1);
        f.textBytes += size_t(bytes);
        texts.emplace_back(sqlite3_column_int64(st, 0), QString::fromUtf8(text, bytes));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    PinyinIndex index;
    const auto build = Clock::now();
    for (const auto& [id, text] : texts)
        index.add(id, text);
    index.shrink();
    f.buildMs = msSince(build);
    for (const Case& c : cases) {
        const PinyinKeyword keyword(QString::fromUtf8(c.pinyin));
        const auto scan = Clock::now();
        for (int i = 0; i < 10; ++i)
            benchmark::DoNotOptimize(index.find(keyword));
        f.scanMs[c.name] = msSince(scan) / 10;
    }
    f.keyBytes = index.keyBytes();
    f.indexBytes = keys ? keys->bytesHeld() : 0; // what the list holds, ids included
}

void printFigures() {
    std::printf("\n%9s %7s %8s %8s %9s %10s %9s %7s %11s %13s\n", "rows", "case", "found", "pinyin",
                "floor ms", "letters ms", "pinyin ms", "ratio", "added ms", "added CPU ms");
    for (const auto& [key, r] : results)
        std::printf("%9d %7s %8d %8d %9.1f %10.1f %9.1f %7.2f %11.1f %13.1f\n", key.first,
                    key.second.c_str(), r.floorMatches, r.pinyinMatches, r.floor.wall,
                    r.letters.wall, r.pinyin.wall, r.pinyin.wall / r.floor.wall,
                    r.pinyin.wall - r.letters.wall, r.pinyin.cpu - r.letters.cpu);
    std::printf("\n%9s %10s %9s %13s %9s %12s %12s %12s  scan ms\n", "rows", "switch ms",
                "ready ms", "first key ms", "build ms", "text bytes", "key bytes", "index bytes");
    for (const auto& [rows, f] : sizes) {
        std::printf("%9d %10.1f %9.1f %13.1f %9.1f %12zu %12zu %12zu ", rows, f.switchOnMs,
                    f.keysReadyMs, f.firstKeystrokeMs, f.buildMs, f.textBytes, f.keyBytes,
                    f.indexBytes);
        for (const auto& [name, ms] : f.scanMs)
            std::printf(" %s %.1f", name.c_str(), ms);
        std::printf("\n");
    }
    std::printf("added: pinyin minus letters, what reading the keyword as pinyin adds\n");
    std::printf("targets: pinyin minus letters under 50 ms at 100000 rows and 300 ms at "
                "1000000; key bytes <= text bytes\n");
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QApplication> app(argc, argv);
    std::vector<std::unique_ptr<Program>> programs;
    for (int rows : BenchData::sizesUpTo({100'000, 1'000'000}, "PINYIN_BENCH_MAX_ROWS")) {
        programs.push_back(std::make_unique<Program>(rows));
        measureKeys(*programs.back(), rows);
        const int iterations = rows >= 1'000'000 ? 3 : 10;
        for (const Case& c : cases) {
            const std::string name = std::string(c.name) + "/" + std::to_string(rows);
            BenchData::registerPair(name, "pinyin", iterations, benchFloor, benchPinyin,
                                    programs.back().get(), rows, c);
            BenchData::registerTimed("letters/" + name, iterations, benchLetters,
                                     programs.back().get(), rows, c);
        }
    }
    return BenchData::runAndPrint(printFigures);
}
