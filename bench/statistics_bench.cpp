// The statistics window at scale: every chart's statement over a generated database (customers
// added over seven years, activities of eight operators around today), each the median of
// repeated runs against its bar, and the longest the window's thread is held while all four
// charts are counted. STATISTICS_BENCH_MAX_ROWS caps the rows (100,000 unless it allows
// 1,000,000 customers and as many activities). STATISTICS_PICTURE names a PNG file to take a
// picture of the window into.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/Engine.h"
#include "grid/PrintPreviewService.h"
#include "statistics/U_Statistics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {

class Messages : public MessageService {
  public:
    Messages() : MessageService("statistics_bench") {}

  protected:
    int present(const MessageBoxRequest& request) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return 0;
    }
};

double medianMs(int runs, const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = BenchData::Clock::now();
        run();
        ms.push_back(BenchData::msSince(start));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    prepareProcess();
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure shows as soon as it is measured
    BenchData::preferOffscreen();
    QApplication app(argc, argv);
    const int rows =
        BenchData::sizesUpTo({1000000}, "STATISTICS_BENCH_MAX_ROWS").empty() ? 100000 : 1000000;
    QTemporaryDir dir;
    const QString path = BenchData::customerDatabase(dir.filePath("Custom.db"), rows);
    BenchData::addActivities(path, QStringLiteral("Admin"), rows);
    auto connection = openDatabase(path); // migrated, as the program opens it
    connection->execute({"update T_Schedule set F_User = 'op' || (ID % 8), CustCode = 1 + ID % ?, "
                         "Done = (ID % 3 = 0)",
                         {rows}});
    connection->execute({"ANALYZE", {}});
    std::printf("%d customers, %d activities\n", rows, rows);

    const QDate today = QDate::currentDate();
    const Stats::Period year = Stats::periodOf(Stats::PeriodKind::Last12Months, today);
    const struct {
        const char* what;
        Stats::StatQuery query;
    } charts[] = {
        {"new customers per month, last 12 months", newCustomers(year, Stats::Step::Month, {})},
        {"new customers per day, last 12 months", newCustomers(year, Stats::Step::Day, {})},
        {"customers by 合同编号", Stats::customersBy(*connection, "OtherInfo", "", {})},
        {"activities per operator, last 12 months", activitiesPerOperator(year, today, {})},
        {"activities due, 8 weeks", Stats::activitiesDue(today, 56, {})},
    };
    for (const auto& chart : charts) {
        size_t groups = 0;
        const double ms =
            medianMs(5, [&] { groups = count(*connection, chart.query).rows.size(); });
        std::printf("  (%zu rows)\n", groups);
        BenchData::printBar(chart.what, ms, 500, " ms");
    }

    // The window's thread ticks every 5 ms while the four charts are counted off it.
    Messages messages;
    PrintPreviewService previews(messages);
    StatisticsSetup setup;
    setup.connect = [path] { return openDatabase(path); };
    setup.connection = connection.get();
    setup.columns = {{"合同编号", "OtherInfo"}};
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    const auto start = BenchData::Clock::now();
    sinceTick.start();
    tick.start();
    TFrm_Statistics window(setup, messages, previews);
    window.show();
    while (window.counting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double all = BenchData::msSince(start);
    tick.stop();
    BenchData::printBar("window: every chart counted and shown", all, 500, " ms");
    BenchData::printBar("window: longest hold of its thread", double(longest), 50, " ms");
    // The README's picture is this window, on its activities page.
    if (const QString picture = qEnvironmentVariable("STATISTICS_PICTURE"); !picture.isEmpty()) {
        window.resize(900, 620);
        window.Pages->setCurrentWidget(window.Activities);
        QCoreApplication::processEvents();
        window.grab().save(picture);
    }
    return 0;
}
