// The statistics window at scale, on the file engine and (when CUSTDESK_BENCH_PG names a server)
// on PostgreSQL: every chart's statement over a generated database (customers added over seven
// years with their owners and a choice field, activities of eight operators around today), each
// the median of repeated runs against its bar, then the whole window: every chart counted and
// shown, and the longest its thread is held meanwhile. STATISTICS_BENCH_MAX_ROWS caps the rows
// (100,000 unless it allows 1,000,000 customers and as many activities). STATISTICS_BENCH_DB
// names a database file to keep the generated rows in and reuse on the next run (the server's
// copy is kept as well). STATISTICS_PICTURE names a PNG file to take a picture of the window into.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/AppError.h"
#include "data/Engine.h"
#include "data/postgres/PgEngine.h"
#include "data/postgres/PgSchema.h"
#include "grid/PrintPreviewService.h"
#include "statistics/U_Statistics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <ctime>
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

// Processor time of the calling thread: the work it did, whatever else the machine ran.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

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

qint64 customerCount(Connection& connection) {
    auto rows = connection.query({"select count(*) from Custom", {}});
    return rows->next() ? rows->toInt64(0) : 0;
}

// The generated shop: eight operators owning nine customers in ten (the rest in the pool), a
// choice field of six kinds, activities of the eight operators, a third of them done.
void generate(const QString& path, int rows) {
    QFile::remove(path);
    BenchData::customerDatabase(path, rows);
    BenchData::addActivities(path, QStringLiteral("Admin"), rows);
    auto connection = openDatabase(path); // migrated, as the program opens it
    Transaction transaction(*connection);
    for (int i = 0; i < 8; ++i)
        connection->execute({"insert into admin (username, password, IsUser) values (?, '', 1)",
                             {QStringLiteral("销售%1").arg(i + 1)}});
    connection->addColumn("Custom", "Kind", "VARCHAR(20)", "", false);
    connection->execute(
        {"update Custom set Owner = case when CustCode % 10 = 0 then null else 2 + CustCode % 8 "
         "end, Kind = case CustCode % 6 when 0 then null when 1 then '零售' when 2 then '批发' "
         "when 3 then 'VIP' when 4 then '代理' else '其他渠道' end",
         {}});
    connection->execute({"update T_Schedule set F_User = '销售' || (1 + ID % 8), CustCode = 1 + "
                         "ID % ?, Done = (ID % 3 = 0)",
                         {rows}});
    transaction.commit(); // not analysed, as the program leaves its databases
}

// The server's copy of the file, made once per size and kept.
QString serverCopy(const QString& server, const QString& file, int rows) {
    const QString name = QString("custdesk_statistics_%1").arg(rows);
    const QString uri = Pg::uriWithDatabase(server, name);
    auto admin = Pg::openPostgresDatabase(server);
    try {
        if (customerCount(*openDatabase(uri)) == rows)
            return uri;
    } catch (const AppError&) {
    }
    admin->executeNative("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    admin->executeNative("CREATE DATABASE " + name);
    const auto start = BenchData::Clock::now();
    auto target = Pg::openPostgresDatabase(uri);
    Pg::copyFromSqlite(file, *target);
    target->executeNative("VACUUM ANALYZE");
    std::printf("copied to the server in %.1f s\n", BenchData::secondsSince(start));
    return uri;
}

void measure(const char* engine, const QString& connString, bool picture) {
    std::printf("=== %s\n", engine);
    auto connection = openDatabase(connString);
    const QDate today = QDate::currentDate();
    const Stats::Period year = Stats::periodOf(Stats::PeriodKind::Last12Months, today);
    const struct {
        const char* what;
        Stats::StatQuery query;
    } charts[] = {
        {"new customers per month, last 12 months", newCustomers(year, Stats::Step::Month, {})},
        {"new customers per day, last 12 months", newCustomers(year, Stats::Step::Day, {})},
        {"customers by owner", Stats::customersBy(*connection, "Owner", "负责人", {})},
        {"customers by a choice field", Stats::customersBy(*connection, "Kind", "类型", {})},
        {"activities per operator, last 12 months",
         activitiesPerOperator(*connection, year, today, {})},
        {"activities due, 8 weeks", Stats::activitiesDue(today, 56, {})},
    };
    for (const auto& chart : charts) {
        size_t groups = 0;
        const double cpu = BenchData::processSeconds();
        const double ms =
            medianMs(5, [&] { groups = count(*connection, chart.query).rows.size(); });
        // On the file engine the statement runs in this process: its processor time, apart
        // from the machine's load.
        std::printf("  (%zu rows; this process's processor time %.0f ms a run)\n", groups,
                    (BenchData::processSeconds() - cpu) * 1e3 / 5);
        BenchData::printBar(std::string(engine) + ": " + chart.what, ms, 500, " ms");
    }
    // A column of nearly as many values as customers: a figure, not a chart a shop would draw.
    const double many = medianMs(1, [&] {
        count(*connection, Stats::customersBy(*connection, "OtherInfo", "合同编号", {}));
    });
    std::printf("%s: customers by 合同编号 (one value a customer): %.0f ms\n", engine, many);

    // The window's thread ticks every 5 ms while the four charts are counted off it. Between two
    // ticks it is held by its own work (its processor time) and by whatever else the machine
    // runs (the wall time); the bar is on the first.
    Messages messages;
    PrintPreviewService previews(messages);
    StatisticsSetup setup;
    setup.connect = [connString] { return openDatabase(connString); };
    setup.connection = connection.get();
    setup.columns = {{"负责人", "Owner"}, {"类型", "Kind"}};
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    double lastCpu = 0, longestCpu = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
        const double cpu = threadCpuMs();
        longestCpu = std::max(longestCpu, cpu - lastCpu);
        lastCpu = cpu;
    });
    TFrm_Statistics window(setup, messages, previews);
    window.show();
    while (window.counting()) // the first count opens the readers' connections
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto start = BenchData::Clock::now();
    sinceTick.start();
    lastCpu = threadCpuMs();
    tick.start();
    window.countAll();
    while (window.counting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double all = BenchData::msSince(start);
    tick.stop();
    BenchData::printBar(std::string(engine) + ": window: every chart counted and shown", all, 500,
                        " ms");
    BenchData::printBar(std::string(engine) + ": window: longest hold of its thread by its work",
                        longestCpu, 50, " ms");
    std::printf("%s: window: longest wall time between its thread's ticks: %lld ms\n", engine,
                longest);
    // The README's picture is this window, on its page of customers by owner.
    if (const QString file = qEnvironmentVariable("STATISTICS_PICTURE");
        picture && !file.isEmpty()) {
        window.resize(900, 620);
        window.Pages->setCurrentWidget(window.CustomersBy);
        QCoreApplication::processEvents();
        window.grab().save(file);
    }
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
    const QString kept = qEnvironmentVariable("STATISTICS_BENCH_DB");
    const QString path = kept.isEmpty() ? dir.filePath("Custom.db") : kept;
    if (!QFile::exists(path) || customerCount(*openDatabase(path)) != rows) {
        const auto start = BenchData::Clock::now();
        generate(path, rows);
        std::printf("generated in %.1f s\n", BenchData::secondsSince(start));
    }
    std::printf("%d customers, %d activities\n", rows, rows);
    measure("SQLite", path, true);
    if (const QString server = qEnvironmentVariable("CUSTDESK_BENCH_PG"); !server.isEmpty())
        measure("PostgreSQL", serverCopy(server, path, rows), false);
    else
        std::printf("PostgreSQL skipped: CUSTDESK_BENCH_PG names no server\n");
    return 0;
}
