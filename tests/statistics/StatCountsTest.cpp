#include "StatTestData.h"

#include <QProcess>
#include <QRandomGenerator>
#include <map>

using namespace Stats;

namespace {

using Counts = std::map<QString, std::vector<qint64>>;

// The engine's own command line, with the date texts written in its own functions.
Counts cliCounts(const TempDatabase& db, QString sql) {
    const bool pg = db.engine == TestEngine::Postgres;
    const struct {
        const char *mark, *sqlite, *postgres;
    } functions[] = {
        {"DAY(", "date(", "to_char(("},
        {"MONTH(", "strftime('%Y-%m', ", "to_char(("},
        {"WEEK(", "date(", "to_char(date_trunc('week', "},
    };
    for (const auto& f : functions) {
        for (qsizetype at; (at = sql.indexOf(f.mark)) >= 0;) {
            const qsizetype close = sql.indexOf(u')', at);
            const QString column =
                sql.mid(at + qsizetype(strlen(f.mark)), close - at - qsizetype(strlen(f.mark)));
            QString text;
            if (!pg)
                text = QString(f.mark) == "WEEK("
                           ? "date(" + column + ", 'weekday 0', '-6 days') || '起'"
                           : QString(f.sqlite) + column + ")";
            else
                text = QString(f.postgres) + column + ")" +
                       (QString(f.mark) == "MONTH(" ? ", 'YYYY-MM')" : ", 'YYYY-MM-DD')") +
                       (QString(f.mark) == "WEEK(" ? " || '起'" : "");
            sql.replace(at, close - at + 1, text);
        }
    }
    QProcess cli;
    if (pg)
        cli.start("psql",
                  {"-X", "-A", "-t", "-F", "|", "-v", "ON_ERROR_STOP=1", db.connString, "-c", sql});
    else
        cli.start("sqlite3", {db.connString, sql});
    cli.waitForFinished(30000);
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString() << sql.toStdString();
    Counts out;
    for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList cells = line.split('|');
        std::vector<qint64> values;
        for (int i = 1; i < cells.size(); ++i)
            values.push_back(cells[i].toLongLong());
        // Merged as the program compares texts, which the embedded command line cannot.
        std::vector<qint64>& sum = out[cells[0].toCaseFolded()];
        sum.resize(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            sum[i] += values[i];
    }
    return out;
}

// The table's rows with any count, under their labels with letter case folded.
Counts nonZero(const StatTable& table) {
    Counts out;
    for (const StatRow& row : table.rows)
        for (qint64 v : row.values)
            if (v != 0) {
                out[row.label.toCaseFolded()] = row.values;
                break;
            }
    return out;
}

qint64 rowsOf(Connection& connection, const SqlCommand& command) {
    qint64 n = 0;
    for (auto rows = connection.query(command); rows->next();)
        ++n;
    return n;
}

class StatisticsCounts : public EngineTest {};

// Every chart's numbers against the same counts made by the engine's command line, with and
// without a customer filter; a customer chart's click-through lists exactly its count.
TEST_P(StatisticsCounts, EqualTheEngineCommandLineAndListTheirCustomers) {
    fill(db);
    const CustomerFilter all;
    const CustomerFilter onlyA{"tel=?", {"A"}};
    const QString sqlOnlyA = " and \"tel\"='A'";
    const QString actOnlyA =
        " and \"CustCode\" in (select \"CustCode\" from \"Custom\" where \"tel\"='A')";
    const Period month = periodOf(PeriodKind::ThisMonth, kToday);
    const Period quarter = periodOf(PeriodKind::ThisQuarter, kToday);
    const Period year = periodOf(PeriodKind::Last12Months, kToday);
    const Period range =
        periodOf(PeriodKind::Range, kToday, QDate(2026, 3, 20), QDate(2026, 2, 10));
    const Period longRange = periodOf(PeriodKind::Range, kToday, kToday.addDays(-450), kToday);
    auto added = [](const Period& p) {
        return QString(" from \"Custom\" where \"AddDate\">='%1 00:00:00' and \"AddDate\"<'%2 "
                       "00:00:00'")
            .arg(p.first.toString(Qt::ISODate), p.last.addDays(1).toString(Qt::ISODate));
    };
    const QString emptyOr = "coalesce(nullif(%1,''),'（空）')";
    // An operator since removed is named by the key; the pool is the empty group.
    const QString ownerName = "coalesce(a.\"username\", '' || c.\"Owner\", '（空）')";
    const QString owned = " from \"Custom\" c left join \"admin\" a on a.\"Userid\"=c.\"Owner\"";
    const QString status = "sum(case when \"Done\"=1 then 1 else 0 end), "
                           "sum(case when \"Done\"=0 and not (\"Awoke\"=1 and "
                           "\"AwokeDate\"<'2026-05-14') then 1 else 0 end), "
                           "sum(case when \"Done\"=0 and \"Awoke\"=1 and "
                           "\"AwokeDate\"<'2026-05-14' then 1 else 0 end)";
    const QString quarterActs =
        " from \"T_Schedule\" where \"AwokeDate\">='2026-04-01' and \"AwokeDate\"<'2026-07-01'";
    const QString due = " from \"T_Schedule\" where \"Done\"=0 and \"AwokeDate\">='2026-05-14' and "
                        "\"AwokeDate\"<'2026-06-11'";
    const struct {
        const char* name;
        StatQuery query;
        QString cli;
        bool customers; // each count is of customers, so its list has as many rows
    } charts[] = {
        {"days of the month", newCustomers(month, Step::Day, all),
         "select DAY(\"AddDate\"), count(*)" + added(month) + " group by 1", true},
        {"weeks of the quarter, filtered", newCustomers(quarter, Step::Week, onlyA),
         "select WEEK(\"AddDate\"), count(*)" + added(quarter) + sqlOnlyA + " group by 1", true},
        {"months of the last twelve", newCustomers(year, Step::Month, all),
         "select MONTH(\"AddDate\"), count(*)" + added(year) + " group by 1", true},
        {"weeks of a range given backwards", newCustomers(range, Step::Week, all),
         "select WEEK(\"AddDate\"), count(*)" + added(range) + " group by 1", true},
        {"days of a long range, counted row by row", newCustomers(longRange, Step::Day, all),
         "select DAY(\"AddDate\"), count(*)" + added(longRange) + " group by 1", true},
        {"by owner, under the operators' names", customersBy(*db.connection, "owner", "", all),
         "select " + ownerName + ", count(*)" + owned + " group by 1", true},
        {"by owner, filtered", customersBy(*db.connection, "Owner", "", onlyA),
         "select " + ownerName + ", count(*)" + owned + " where c.\"tel\"='A' group by 1", true},
        {"by a text column", customersBy(*db.connection, "otherinfo", "类型", all),
         "select " + emptyOr.arg("\"OtherInfo\"") + ", count(*) from \"Custom\" group by 1", true},
        {"by a text column, filtered", customersBy(*db.connection, "OtherInfo", "类型", onlyA),
         "select " + emptyOr.arg("\"OtherInfo\"") + ", count(*) from \"Custom\" where 1=1" +
             sqlOnlyA + " group by 1",
         true},
        {"activities per operator", activitiesPerOperator(*db.connection, quarter, kToday, all),
         "select " + emptyOr.arg("\"F_User\"") + ", " + status + quarterActs + " group by 1",
         false},
        {"activities per operator, filtered",
         activitiesPerOperator(*db.connection, quarter, kToday, onlyA),
         "select " + emptyOr.arg("\"F_User\"") + ", " + status + quarterActs + actOnlyA +
             " group by 1",
         false},
        {"activities due", activitiesDue(kToday, 28, all),
         "select DAY(\"AwokeDate\"), count(*)" + due + " group by 1", false},
        {"activities due, filtered", activitiesDue(kToday, 28, onlyA),
         "select DAY(\"AwokeDate\"), count(*)" + due + actOnlyA + " group by 1", false},
    };
    for (const auto& chart : charts) {
        SCOPED_TRACE(chart.name);
        const StatTable table = count(*db.connection, chart.query);
        const Counts expected = cliCounts(db, chart.cli);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(nonZero(table), expected);
        for (const StatRow& row : table.rows)
            for (size_t i = 0; i < row.values.size(); ++i) {
                const qint64 listed = rowsOf(*db.connection, row.customers[i]);
                if (chart.customers)
                    EXPECT_EQ(listed, row.values[i]) << row.label.toStdString();
                else // activities of one customer count once in the list
                    EXPECT_TRUE(listed <= row.values[i] && (listed > 0) == (row.values[i] > 0))
                        << row.label.toStdString();
            }
    }
    // A column of many values: the most a chart shows, then the rest together, listed exactly,
    // a customer without a name among them.
    db.connection->execute({"insert into Custom (tel) values ('A')", {}});
    for (const CustomerFilter& filter : {all, onlyA}) {
        const StatTable many =
            count(*db.connection, customersBy(*db.connection, "Company", "", filter));
        ASSERT_EQ(many.rows.size(), size_t(kMostGroups));
        EXPECT_EQ(many.rows.back().label, otherLabel());
        EXPECT_EQ(many.total(0),
                  db.count(filter.sql.isEmpty() ? "1=1" : filter.sql, filter.params));
        EXPECT_EQ(rowsOf(*db.connection, many.rows.back().customers[0]),
                  many.rows.back().values[0]);
    }
    // A name from data that is no customer column is refused before any statement runs.
    EXPECT_EQ(errorOf([&] { customersBy(*db.connection, "no_such; drop table Custom", "", all); }),
              "查询字段 'no_such; drop table Custom' 不是客户表的字段");
}

RUN_ON_EVERY_ENGINE(StatisticsCounts);

// The periods the operator picks, as days: whole months, quarters and years around today.
TEST(StatisticsPeriods, CoverTheirWholeDays) {
    const QDate today(2024, 2, 29);
    const struct {
        PeriodKind kind;
        QDate first, last;
        Step step;
    } cases[] = {
        {PeriodKind::ThisMonth, {2024, 2, 1}, {2024, 2, 29}, Step::Day},
        {PeriodKind::ThisQuarter, {2024, 1, 1}, {2024, 3, 31}, Step::Week},
        {PeriodKind::ThisYear, {2024, 1, 1}, {2024, 12, 31}, Step::Month},
        {PeriodKind::Last12Months, {2023, 3, 1}, {2024, 2, 29}, Step::Month},
    };
    for (const auto& c : cases) {
        const Period p = periodOf(c.kind, today);
        EXPECT_EQ(p.first, c.first);
        EXPECT_EQ(p.last, c.last);
        EXPECT_EQ(naturalStep(p), c.step);
    }
    EXPECT_EQ(
        errorOf([] { periodOf(PeriodKind::Range, QDate(2024, 1, 1), QDate(), QDate(2024, 1, 2)); }),
        "请输入有效的起止日期");
}

} // namespace
