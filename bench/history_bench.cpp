// The change history and the recycle bin at scale: a customer's edit with and without the
// history's triggers, one customer's history among many customers and records (the customer
// key is indexed), and a customer with 50 activities moved into the bin. Prints medians of
// repeated runs beside each bar, with processor time. HISTORY_BENCH_MAX_ROWS sets the history
// records (default 1,000,000, with a tenth as many customers; 10,000,000 takes minutes and
// about 1.5 GB).

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "data/Statements.h"
#include "history/ChangeLog.h"
#include "history/RecycleBin.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using BenchData::medianMs;
using BenchData::Timing;

void printBar(const char* what, Timing t, double bar) {
    std::printf("%-52s %8.3f ms   bar < %5.1f ms   %-5s (processor %.3f ms)\n", what, t.wall, bar,
                t.wall < bar ? "ok" : "short", t.processor);
}

// Saved edits of one field, each its own transaction, as the editor's save makes them.
Timing editTimes(Connection& connection, int customers, const char* tag) {
    return medianMs(301, [&](int i) {
        connection.execute({"UPDATE Custom SET tel = ? WHERE CustCode = ?",
                            {QString("%1-%2").arg(tag).arg(i), 1 + (i * 7919) % customers}});
    });
}

} // namespace

int main() {
    prepareProcess(); // as the program does
    // 1,000,000 records unless HISTORY_BENCH_MAX_ROWS asks for more (or fewer).
    const int records =
        qEnvironmentVariableIsSet("HISTORY_BENCH_MAX_ROWS")
            ? std::max(10000, qEnvironmentVariableIntValue("HISTORY_BENCH_MAX_ROWS"))
            : 1000000;
    const int customers = records / 10;
    QTemporaryDir dir;
    const QString path = BenchData::customerDatabase(dir.filePath("Custom.db"), customers);
    auto connection = openDatabase(path); // migrated, as the program opens it
    connection->setAuthor({"Admin", "bench"});

    // Without the triggers and with them, twice each, on the same file and rows.
    Timing plain, recorded;
    for (int round = 0; round < 2; ++round) {
        for (const char* t : {"Custom_I", "Custom_U", "Custom_D"})
            connection->execute({QString("DROP TRIGGER T_History_%1").arg(t), {}});
        const Timing a = editTimes(*connection, customers, "a");
        connection->installChangeHistory();
        const Timing b = editTimes(*connection, customers, "b");
        plain = {plain.wall + a.wall / 2, plain.processor + a.processor / 2};
        recorded = {recorded.wall + b.wall / 2, recorded.processor + b.processor / 2};
    }
    std::printf("%d customers\n", customers);
    std::printf("  saved edit without history %.3f ms, with %.3f ms\n", plain.wall, recorded.wall);
    printBar("an edit's cost of its history record",
             {recorded.wall - plain.wall, recorded.processor - plain.processor}, 1);

    // Records spread over every customer, as years of work would leave them.
    const auto fileBytes = [&] {
        connection->query({"PRAGMA wal_checkpoint(TRUNCATE)", {}})->next();
        return QFileInfo(path).size();
    };
    const qint64 bytesBefore = fileBytes();
    connection->execute(
        {"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
         "INSERT INTO T_History (ChangedAt, Who, Host, TableName, RowKey, CustCode, Action, "
         "Changes) SELECT '2026-01-01 10:00:00', 'Admin', 'bench', 'Custom', 1 + i % ?, 1 + i % ?, "
         "'U', '{\"tel\":[\"' || i || '\",\"' || (i + 1) || '\"]}' FROM n",
         {records, customers, customers}});
    connection->execute({"ANALYZE", {}});
    auto count = connection->query({"SELECT count(*) FROM T_History", {}});
    std::printf("%d customers, %lld history records\n", customers,
                count->next() ? qlonglong(count->toInt64(0)) : 0LL);
    count.reset();
    std::printf(
        "  %.0f bytes of the file a record (a one-field change, its index entry included)\n",
        double(fileBytes() - bytesBefore) / records);
    size_t listed = 0;
    const Timing ofCustomer = medianMs(51, [&](int i) {
        listed = ChangeLog::ofCustomer(*connection, 1 + (i * 7919) % customers).size();
    });
    std::printf("  (%zu records of one customer)\n", listed);
    printBar("open one customer's history", ofCustomer, 20);

    // Customers with 50 activities each, moved into the bin one at a time.
    for (int c = 1; c <= 21; ++c)
        connection->execute(
            {"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
             "INSERT INTO T_Schedule (F_User, CustName, Subject, CustCode, AwokeDate, Awoke) "
             "SELECT 'Admin', 'c', 'subject ' || i, ?, '2026-02-01 09:00:00', 1 FROM n",
             {c}});
    const Timing binned =
        medianMs(21, [&](int i) { RecycleBin::moveCustomer(*connection, i + 1, true); });
    printBar("delete a customer with 50 activities into the bin", binned, 10);
    return 0;
}
