// Making the print pages of 10,000 customers as the preview makes them: the grid read into a
// document and composed, then every page recorded as a picture through the page painter.
// Beside it the floor: the same cell texts drawn into as many pictures with plain drawText,
// at fixed places, without reading the grid, lines, fitting or eliding. Prints pages per
// second and the ratio of the two.

#include "bench/support/BenchSupport.h"
#include "data/MessageService.h"
#include "grid/GridPrinter.h"
#include "grid/PrintPainter.h"
#include "grid/PrintPreviewService.h"

#include <QApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPicture>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using BenchData::Clock;
using BenchData::secondsSince;
constexpr int customerCount = 10'000;

class SilentMessages : public MessageService {
  public:
    SilentMessages() : MessageService("custdesk") {}

  protected:
    int present(const MessageBoxRequest&) override { return mbOK; }
};

QPageLayout a4() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
}

QPicture recordPage(const PrintPainter& painter, int page) {
    QPicture picture;
    QPainter on(&picture);
    painter.paintPage(on, page);
    on.end();
    return picture;
}

QList<QPicture> recordPages(const PrintDocument& document) {
    const PrintPainter painter(document);
    QList<QPicture> pages;
    for (int p = 0; p < document.pageCount(); ++p)
        pages << recordPage(painter, p);
    return pages;
}

// The same texts, page by page, each at a fixed place in its line.
QList<QPicture> recordPlainTexts(const PrintDocument& document) {
    QList<QPicture> pages;
    const int perPage = std::max<int>(
        1, int((document.snapshot.rows.size() + document.pageCount() - 1) / document.pageCount()));
    for (int first = 0; first < document.snapshot.rows.size(); first += perPage) {
        QPicture picture;
        QPainter on(&picture);
        on.setFont(document.style.fonts.data);
        const int last = std::min<int>(first + perPage, int(document.snapshot.rows.size()));
        for (int r = first; r < last; ++r) {
            const QStringList& row = document.snapshot.rows[r];
            for (int c = 0; c < row.size(); ++c)
                on.drawText(QPoint(80 + 110 * c, 80 + 20 * (r - first)), row[c]);
        }
        on.end();
        pages << picture;
    }
    return pages;
}

struct Figures {
    double documentSeconds = 0, pagesSeconds = 0, floorSeconds = 0;
    int pages = 0;
    double firstPageSeconds = 0; // of the big list, as the preview opens on it
    int firstPageRows = 0;
} figures;

// The customer list's grid over generated customers and the printer the preview uses on it.
struct Fixture {
    explicit Fixture(int count) : customers(count) {}

    BenchData::CustomerListFixture customers;
    SilentMessages messages;
    PrintPreviewService previews{messages};
    GridPrinter printer{*customers.list.grid, previews, messages};
};

void benchMaking(benchmark::State& state, Fixture* f) {
    double document = 0, pages = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const PrintDocument d = f->printer.makeDocument(a4(), 96);
        document += secondsSince(start);
        const auto recording = Clock::now();
        benchmark::DoNotOptimize(recordPages(d));
        pages += secondsSince(recording);
        figures.pages = d.pageCount();
    }
    figures.documentSeconds = document / double(state.iterations());
    figures.pagesSeconds = pages / double(state.iterations());
    state.counters["pages"] = figures.pages;
}

void benchFloor(benchmark::State& state, Fixture* f) {
    const PrintDocument d = f->printer.makeDocument(a4(), 96);
    figures.floorSeconds =
        BenchData::meanSeconds(state, [&] { benchmark::DoNotOptimize(recordPlainTexts(d)); });
}

void printFigures() {
    const double making = figures.documentSeconds + figures.pagesSeconds;
    std::printf("\n%9s %7s %12s %11s %11s %10s %9s %7s\n", "customers", "pages", "document ms",
                "pictures ms", "floor ms", "pages/s", "floor p/s", "ratio");
    std::printf("%9d %7d %12.1f %11.1f %11.1f %10.0f %9.0f %7.2f\n", customerCount, figures.pages,
                figures.documentSeconds * 1e3, figures.pagesSeconds * 1e3,
                figures.floorSeconds * 1e3, figures.pages / making,
                figures.pages / figures.floorSeconds, making / figures.floorSeconds);
    std::printf("document: grid read and composed; pictures: every page recorded; ratio: both "
                "against the floor\n");
    if (figures.firstPageRows > 0)
        std::printf("first page of %d customers: %.1f ms (document and its first picture)\n",
                    figures.firstPageRows, figures.firstPageSeconds * 1e3);
    if (figures.firstPageRows >= 100'000)
        BenchData::printBar("print preview of 100k, first page", figures.firstPageSeconds * 1e3,
                            500, " ms");
}

// What the preview waits for before it shows: the document and its first page. Best of three.
double firstPageSeconds(GridPrinter& printer) {
    return BenchData::bestOf(3, [&] {
        const PrintDocument d = printer.makeDocument(a4(), 96);
        benchmark::DoNotOptimize(recordPage(PrintPainter(d), 0));
    });
}

} // namespace

int main(int argc, char** argv) {
    BenchData::Application<QApplication> app(argc, argv);
    Fixture f(customerCount);
    BenchData::registerPair("print", "making", 5, benchFloor, benchMaking, &f);
    const std::vector<int> big = BenchData::sizesUpTo({100'000}, "PRINT_BENCH_MAX_ROWS");
    if (!big.empty()) {
        Fixture bigList(big.back());
        figures.firstPageRows = big.back();
        figures.firstPageSeconds = firstPageSeconds(bigList.printer);
    }
    return BenchData::runAndPrint(printFigures);
}
