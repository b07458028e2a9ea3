// The customer list on a PostgreSQL server, its customers with ten of the shop's own fields:
// opening every customer, a keystroke search over all of them and over about 1 %, the 筛选 by a
// choice that 1 % hold, and sorting the open list, each beside a floor that sends the same
// statement through plain libpq and reads every cell; and the reminder query over as many
// activities, beside its plain statement. Runs when CUSTDESK_BENCH_PG holds a
// server URI (scripts/bench.sh starts a throw-away server and sets it).

#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "bench/support/ShopFields.h"
#include "bench/support/window/ListProgram.h"
#include "data/Statements.h"
#include "data/postgres/PgEngine.h"
#include "data/postgres/PgSchema.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <cstdio>
#include <libpq-fe.h>

namespace {

using BenchData::bestOf;

// The plain libpq floor: the statement sent as is, every cell of every row read.
int stepThroughLibpq(PGconn* conn, const QString& sql, const QVariantList& params) {
    std::vector<QByteArray> texts;
    std::vector<const char*> values;
    for (const QVariant& v : params)
        texts.push_back(v.toString().toUtf8());
    for (const QByteArray& t : texts)
        values.push_back(t.constData());
    PGresult* r = PQexecParams(conn, sql.toUtf8().constData(), int(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0);
    const int rows = PQntuples(r), columns = PQnfields(r);
    size_t bytes = 0;
    for (int row = 0; row < rows; ++row)
        for (int c = 0; c < columns; ++c)
            bytes += size_t(PQgetlength(r, row, c)) + (PQgetvalue(r, row, c)[0] != 0);
    benchmark::DoNotOptimize(bytes);
    PQclear(r);
    return rows;
}

struct Program : BenchData::ListProgram {
    QString uri;

    Program(const QString& server, int rows) : ListProgram("pg_bench") {
        const QString name = QString("custdesk_bench_%1").arg(rows);
        auto admin = Pg::openPostgresDatabase(server);
        admin->executeNative("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        admin->executeNative("CREATE DATABASE " + name);
        uri = Pg::uriWithDatabase(server, name);
        const QString file = BenchData::customerDatabase(dir.filePath("source.db"), rows);
        BenchData::addActivities(file, QStringLiteral("Admin"), rows);
        BenchData::addShopFields(file, 10);
        const auto start = BenchData::Clock::now();
        auto target = Pg::openPostgresDatabase(uri);
        Pg::copyFromSqlite(file, *target);
        target->executeNative("VACUUM ANALYZE");
        std::printf("copied %d customers with their indexes in %.1f s\n", rows,
                    BenchData::secondsSince(start));
        QFile ini(dir.filePath("Config.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Config]\nDBConn=" + uri.toUtf8() + "\n");
        ini.close();
        open();
    }
    Pg::PgConnection& connection() {
        return *static_cast<Pg::PgConnection*>(data->ADOConnection1.get());
    }
};

void printRow(int rows, const char* what, int matches, double floor, double measured) {
    std::printf("%9d %-10s %9d %10.1f %12.1f %7.2f\n", rows, what, matches, floor * 1e3,
                measured * 1e3, measured / floor);
}

void measure(Program& p, int rows) {
    auto conn = Pg::openPostgresDatabase(p.uri);
    PGconn* plain = conn->handle();
    const int runs = rows >= 1'000'000 ? 3 : 5;

    const SqlCommand all = Sql::allCustomers();
    int matches = 0;
    const double openFloor = bestOf(
        runs, [&] { matches = stepThroughLibpq(plain, p.connection().serverSql(all.sql), {}); });
    const double open = bestOf(runs, [&] { p.data->OpenQuery(p.data->Qry_Cust, all); });
    printRow(rows, "open", matches, openFloor, open);

    struct Search {
        const char* name;
        const char* title;
        const char* field;
        const char* keyword;
    } searches[] = {{"search all", "客户名称", "Company", ""},
                    {"search 1%", "手机号码", "Mobile", "567"}};
    for (const Search& s : searches) {
        const SqlCommand command = Sql::customerSearch(p.connection(), s.field, s.keyword);
        const QString regex = "^.*" + QString::fromUtf8(s.keyword) + ".*$";
        const double floor = bestOf(runs, [&] {
            matches = stepThroughLibpq(plain, p.connection().serverSql(command.sql), {regex});
        });
        TFrm_Custom& list = *p.list;
        list.Combo_Type->setCurrentIndex(list.Combo_Type->findText(QString::fromUtf8(s.title)));
        list.Edit_Key->setText(QString::fromUtf8(s.keyword));
        const double keystroke = bestOf(runs, [&] {
            list.Edit_KeyKeyUp(Qt::Key_7);
            p.waitForSearch();
            QApplication::processEvents();
        });
        if (p.data->Qry_Cust.recordCount() != matches)
            std::printf("the window found %d rows, the floor %d\n", p.data->Qry_Cust.recordCount(),
                        matches);
        printRow(rows, s.name, matches, floor, keystroke);
    }

    // The 筛选 by 客户来源, back to 全部 without reading every customer again.
    TFrm_Custom& list = *p.list;
    list.Combo_Type->setCurrentIndex(list.Combo_Type->findText(QStringLiteral("客户名称")));
    list.Edit_Key->clear(); // the choice alone narrows
    p.waitForSearch();
    for (QComboBox* box : list.filterBoxes()) {
        if (!box->toolTip().endsWith(QStringLiteral("客户来源")))
            continue;
        const double filter = bestOf(runs, [&] {
            box->setCurrentIndex(box->findText(BenchData::rareSource));
            p.waitForSearch();
            QApplication::processEvents();
            const QSignalBlocker quiet(box);
            box->setCurrentIndex(0);
        });
        const SqlCommand& command = p.data->Qry_Cust.command();
        const double floor = bestOf(runs, [&] {
            matches = stepThroughLibpq(plain, p.connection().serverSql(command.sql),
                                       {"^.*.*$", BenchData::rareSource});
        });
        if (p.data->Qry_Cust.recordCount() != matches)
            std::printf("the window found %d rows, the floor %d\n", p.data->Qry_Cust.recordCount(),
                        matches);
        printRow(rows, "filter 1%", matches, floor, filter);
    }

    p.data->OpenQuery(p.data->Qry_Cust, all);
    const double sortFloor = bestOf(runs, [&] {
        matches = stepThroughLibpq(plain, "SELECT * FROM \"Custom\" ORDER BY \"Company\"", {});
    });
    const double sort = bestOf(runs, [&] {
        p.data->Qry_Cust.setSort("");
        p.data->Qry_Cust.setSort("Company");
    });
    printRow(rows, "sort", matches, sortFloor, sort);

    // The reminder window's day, beside the same statement without its narrowing.
    Query reminders("Qry_Awoke", &p.connection());
    const auto reminderMs = [&](const SqlCommand& command) {
        return bestOf(runs, [&] {
            reminders.setCommand(command);
            reminders.open();
            matches = reminders.recordCount();
        });
    };
    const double scanned = reminderMs(Sql::reminders("Admin", "1"));
    const double narrowed = reminderMs(Sql::reminders(p.connection(), "Admin", "1"));
    std::printf("%9d reminders of one day (%d): %.1f ms, without narrowing %.1f ms, ratio %.3f\n",
                rows, matches, narrowed * 1e3, scanned * 1e3, narrowed / scanned);
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    prepareProcess();                         // as the program does
    BenchData::preferOffscreen();
    QApplication app(argc, argv);
    const QString server = qEnvironmentVariable("CUSTDESK_BENCH_PG");
    if (server.isEmpty()) {
        std::printf("skipped: CUSTDESK_BENCH_PG names no PostgreSQL server\n");
        return 0;
    }
    std::printf("%9s %-10s %9s %10s %12s %7s\n", "rows", "case", "matches", "libpq ms",
                "custdesk ms", "ratio");
    for (int rows : BenchData::sizesUpTo({100'000, 1'000'000}, "PG_BENCH_MAX_ROWS")) {
        Program program(server, rows);
        measure(program, rows);
    }
    std::printf("targets: open <= 2.00 x the libpq floor at 100000; the 1%% keystroke and the 1%% "
                "filter under 100 ms at 1000000\n");
    return 0;
}
