// Activities at scale: opening one customer's activities among 100,000 customers and
// 1,000,000 activities (the customer key is indexed), and the reminder query over them. Prints
// the median of repeated runs beside each bar, with its processor time. ACTIVITIES_BENCH_MAX_ROWS
// caps the activities.

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/Activities.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "data/sqlite/SqliteEngine.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using BenchData::medianMs;
using BenchData::Timing;

void printBar(const char* what, Timing t, double bar) {
    std::printf("%-48s %8.2f ms   bar < %4.0f ms   %-5s (processor %.2f ms)\n", what, t.wall, bar,
                t.wall < bar ? "ok" : "short", t.processor);
}

} // namespace

int main() {
    prepareProcess(); // as the program does
    const int activities =
        BenchData::sizesUpTo({1000000}, "ACTIVITIES_BENCH_MAX_ROWS").empty() ? 100000 : 1000000;
    const int customers = activities / 10;
    QTemporaryDir dir;
    const QString path = BenchData::customerDatabase(dir.filePath("Custom.db"), customers);
    BenchData::addActivities(path, QStringLiteral("Admin"), activities);
    auto connection = openDatabase(path); // migrated, as the program opens it
    connection->execute({"update T_Schedule set CustCode = 1 + ID % ?", {customers}});
    connection->execute({"ANALYZE", {}});
    std::printf("%d customers, %d activities\n", customers, activities);

    Query query("Qry_Act", connection.get());
    int listed = 0;
    const Timing ofCustomer = medianMs(51, [&](int i) {
        query.close();
        query.setCommand(Activities::ofCustomer(1 + (i * 7919) % customers));
        query.open();
        listed = query.recordCount();
    });
    std::printf("  (%d activities of one customer)\n", listed);
    printBar("open one customer's activities", ofCustomer, 20);

    const Timing reminders = medianMs(11, [&](int i) {
        query.close();
        query.setCommand(Sql::reminders(*connection, "Admin", QString::number(i % 3)));
        query.open();
        listed = query.recordCount();
    });
    std::printf("  (%d activities due on the chosen day)\n", listed);
    printBar("reminder query", reminders, 50);
    return 0;
}
