#include "StatCounts.h"

#include "data/NameFold.h"
#include "data/QueryStore.h"
#include "data/Statements.h"

#include <QHash>
#include <algorithm>

namespace Stats {

namespace {

const QString kOpen = QStringLiteral("(Done is null or Done=False)");

QString andFilter(const CustomerFilter& filter) {
    return filter.sql.isEmpty() ? QString() : " and (" + filter.sql + ")";
}

// Activities count only when they belong to a customer the filter lets through.
QString andActivityFilter(const CustomerFilter& filter) {
    return filter.sql.isEmpty()
               ? QString()
               : " and CustCode in (select CustCode from Custom where " + filter.sql + ")";
}

SqlCommand customersWhere(const QString& condition, QVariantList params,
                          const CustomerFilter& filter) {
    params += filter.params;
    return {"select * from Custom where " + condition + andFilter(filter), params};
}

// The customers that have at least one activity the condition picks.
SqlCommand customersWithActivities(const QString& condition, const QVariantList& params,
                                   const CustomerFilter& filter) {
    return customersWhere("CustCode in (select CustCode from T_Schedule where " + condition + ")",
                          params, filter);
}

// Past this many steps one select per step makes too long a statement; the dates are then
// grouped row by row instead.
constexpr size_t kMostRanges = 400;

using Ranges = std::vector<std::pair<QDateTime, QDateTime>>;

// One count per range of the date column, numbered from 0: each select reads only the range
// of an index on the column, where grouping by a function of the date reads every row.
SqlCommand rangeCounts(const QString& fromWhere, const QString& column, const Ranges& ranges,
                       const CustomerFilter& filter, bool activities) {
    QStringList selects;
    QVariantList params;
    const QString tail = activities ? andActivityFilter(filter) : andFilter(filter);
    for (size_t i = 0; i < ranges.size(); ++i) {
        selects << "select " + QString::number(i) + ", count(*) from " + fromWhere + column +
                       ">=? and " + column + "<?" + tail;
        params << ranges[i].first << ranges[i].second;
        params += filter.params;
    }
    return {selects.join(" union all "), params};
}

QString cellText(const QueryStore& rows, uint32_t row, int column) {
    switch (rows.type(row, column)) {
    case CellType::Null:
        return {};
    case CellType::Integer:
        return QString::number(rows.integer(row, column));
    case CellType::Float:
        return QString::number(rows.real(row, column), 'g', 15);
    default: {
        const std::string_view text = rows.text(row, column);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    }
}

QVariant cellValue(const QueryStore& rows, uint32_t row, int column) {
    switch (rows.type(row, column)) {
    case CellType::Null:
        return {};
    case CellType::Integer:
        return rows.integer(row, column);
    case CellType::Float:
        return rows.real(row, column);
    default:
        return cellText(rows, row, column);
    }
}

// Groups that differ only in letter case become one, as the program compares texts; the
// spelling with most rows names it. Largest first, then by name.
struct FoldedGroups {
    struct Group {
        QString label;
        QVariant value; // null for the empty group
        qint64 labelRows = 0;
        std::vector<qint64> values;
    };
    std::vector<Group> groups;
    QHash<QString, size_t> index;

    void add(const QVariant& value, const QString& text, std::vector<qint64> counts) {
        const bool empty = text.isEmpty();
        const QString key = empty ? QString() : u'k' + nameFoldKey(text);
        auto at = index.constFind(key);
        if (at == index.constEnd()) {
            at = index.insert(key, groups.size());
            groups.push_back({empty ? emptyLabel() : text, empty ? QVariant() : value, 0,
                              std::vector<qint64>(counts.size(), 0)});
        }
        Group& group = groups[at.value()];
        qint64 rows = 0;
        for (size_t i = 0; i < counts.size(); ++i) {
            group.values[i] += counts[i];
            rows += counts[i];
        }
        if (!empty && rows > group.labelRows) {
            group.label = text;
            group.value = value;
            group.labelRows = rows;
        }
    }

    void sort() {
        auto sum = [](const Group& g) {
            qint64 s = 0;
            for (qint64 v : g.values)
                s += v;
            return s;
        };
        std::stable_sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
            const qint64 sa = sum(a), sb = sum(b);
            return sa != sb ? sa > sb : a.label < b.label;
        });
    }
};

std::vector<qint64> counts(const QueryStore& rows, uint32_t row, int first, int n) {
    std::vector<qint64> out;
    for (int i = first; i < first + n; ++i)
        out.push_back(rows.type(row, i) == CellType::Null ? 0 : rows.integer(row, i));
    return out;
}

// One group of customers: its label, the value that picks them (null for none) and how many.
struct Group {
    QString label;
    QVariant value;
    qint64 customers = 0;
};

// The condition on a group's value, and the values it binds.
using GroupCondition = std::function<std::pair<QString, QVariantList>(const Group&)>;

// The groups, largest first, as rows; past the most a chart can show, the rest are one more.
StatTable cappedTable(const QString& title, const std::vector<Group>& groups,
                      const GroupCondition& conditionOf, const CustomerFilter& filter) {
    StatTable out{title, {QStringLiteral("客户数")}, {}};
    QStringList shown;
    QVariantList shownValues;
    qint64 rest = 0;
    const bool capped = groups.size() > size_t(kMostGroups);
    for (const Group& g : groups) {
        if (capped && out.rows.size() + 1 >= size_t(kMostGroups)) {
            rest += g.customers;
            continue;
        }
        const auto [condition, values] = conditionOf(g);
        shown << "(" + condition + ")";
        shownValues += values;
        out.rows.push_back({g.label, {g.customers}, {customersWhere(condition, values, filter)}});
    }
    // A null compared is neither true nor false; the case makes it "not shown" all the same.
    if (capped)
        out.rows.push_back(
            {otherLabel(),
             {rest},
             {customersWhere("case when " + shown.join(" or ") + " then 1 else 0 end=0",
                             shownValues, filter)}});
    return out;
}

// Customers by owner, under the operators' names; the pool's are the empty group.
StatQuery customersByOwner(const QString& owner, const QString& title,
                           const CustomerFilter& filter) {
    SqlCommand command{"select g." + owner + ", a.username, g.n from (select " + owner +
                           ", count(*) as n from Custom where 1=1" + andFilter(filter) +
                           " group by " + owner + ") g left join admin a on a.Userid=g." + owner,
                       filter.params};
    auto table = [owner, title, filter](const QueryStore& rows) {
        std::vector<Group> groups;
        for (uint32_t r = 0; r < rows.storedRows(); ++r) {
            const qint64 n = rows.integer(r, 2);
            if (rows.type(r, 0) == CellType::Null) {
                groups.push_back({emptyLabel(), {}, n});
                continue;
            }
            const qint64 key = rows.integer(r, 0);
            // An operator since removed is still named by the key the customers hold.
            const QString name = cellText(rows, r, 1);
            groups.push_back({name.isEmpty() ? QString::number(key) : name, key, n});
        }
        std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
            return a.customers != b.customers ? a.customers > b.customers : a.label < b.label;
        });
        return cappedTable(
            title, groups,
            [&owner](const Group& g) -> std::pair<QString, QVariantList> {
                if (g.value.isNull())
                    return {owner + " is null", {}};
                return {owner + "=?", {g.value}};
            },
            filter);
    };
    return {command, table};
}

} // namespace

QString emptyLabel() {
    return QStringLiteral("（空）");
}

QString otherLabel() {
    return QStringLiteral("其他");
}

qint64 StatTable::total(int value) const {
    qint64 sum = 0;
    for (const StatRow& row : rows)
        sum += row.values.at(size_t(value));
    return sum;
}

StatQuery newCustomers(const Period& period, Step step, const CustomerFilter& filter) {
    const QDate anchor = stepStart(step, period.first);
    std::vector<QDate> starts;
    Ranges ranges;
    for (QDate start = anchor; start <= period.last; start = nextStep(step, start)) {
        starts.push_back(start);
        ranges.push_back(
            {QDateTime(std::max(start, period.first), QTime(0, 0)),
             QDateTime(std::min(nextStep(step, start), period.last.addDays(1)), QTime(0, 0))});
    }
    SqlCommand command;
    if (ranges.size() <= kMostRanges) {
        command = rangeCounts("Custom where ", "AddDate", ranges, filter, false);
    } else {
        // Weeks are counted as whole days from their Monday; days and months by their bounds.
        const QString key = step == Step::Week    ? "datediff('d', ?, AddDate) / 7"
                            : step == Step::Month ? "datediff('m', ?, AddDate)"
                                                  : "datediff('d', ?, AddDate)";
        QVariantList params{QDateTime(anchor, QTime(0, 0)), period.start(), period.end()};
        params += filter.params;
        command = {"select " + key + ", count(*) from Custom where AddDate>=? and AddDate<?" +
                       andFilter(filter) + " group by 1",
                   params};
    }
    auto table = [step, starts, ranges, filter](const QueryStore& rows) {
        QHash<qint64, qint64> byStep;
        for (uint32_t r = 0; r < rows.storedRows(); ++r)
            byStep[rows.integer(r, 0)] += rows.integer(r, 1);
        StatTable out{QStringLiteral("日期"), {QStringLiteral("新增客户")}, {}};
        for (size_t i = 0; i < starts.size(); ++i)
            out.rows.push_back({stepLabel(step, starts[i]),
                                {byStep.value(qint64(i))},
                                {customersWhere("AddDate>=? and AddDate<?",
                                                {ranges[i].first, ranges[i].second}, filter)}});
        return out;
    };
    return {command, table};
}

StatQuery customersBy(Connection& connection, const QString& column, const QString& title,
                      const CustomerFilter& filter) {
    const QString stored = Sql::customerColumn(connection, column);
    if (stored.compare("Owner", Qt::CaseInsensitive) == 0)
        return customersByOwner(connection.quoteIdentifier(stored), title, filter);
    const QString name = connection.quoteIdentifier(stored);
    const FieldKind kind =
        connection.query({"select " + name + " from Custom where 1=0", {}})->column(0).kind;
    const bool text = kind == FieldKind::Text || kind == FieldKind::Memo;
    SqlCommand command{"select " + name + ", count(*) from Custom where 1=1" + andFilter(filter) +
                           " group by 1",
                       filter.params};
    auto table = [name, title, text, filter](const QueryStore& rows) {
        FoldedGroups folded;
        for (uint32_t r = 0; r < rows.storedRows(); ++r)
            folded.add(cellValue(rows, r, 0), cellText(rows, r, 0), counts(rows, r, 1, 1));
        folded.sort();
        std::vector<Group> groups;
        groups.reserve(folded.groups.size());
        for (const auto& g : folded.groups)
            groups.push_back({g.label, g.value, g.values[0]});
        return cappedTable(
            title, groups,
            [&name, text](const Group& g) -> std::pair<QString, QVariantList> {
                if (g.value.isNull())
                    return {text ? "(" + name + " is null or " + name + "='')" : name + " is null",
                            {}};
                return {text ? "StrComp(" + name + ",?,1)=0" : name + "=?", {g.value}};
            },
            filter);
    };
    return {command, table};
}

StatQuery activitiesPerOperator(const Connection& connection, const Period& period,
                                const QDate& today, const CustomerFilter& filter) {
    const QDateTime dayStart(today, QTime(0, 0));
    const QString overdue = kOpen + " and awoke=True and AwokeDate<?";
    QVariantList params;
    SqlCommand command;
    if (connection.groupsByHashing()) {
        params << dayStart << period.start() << period.end();
        params += filter.params;
        command = {"select F_User, sum(case when Done=True then 1 else 0 end), sum(case when " +
                       overdue +
                       " then 1 else 0 end), count(*) from T_Schedule where AwokeDate>=? and "
                       "AwokeDate<?" +
                       andActivityFilter(filter) + " group by 1",
                   params};
    } else {
        // Sorting every activity of the period by operator would cost the most: each operator's
        // counts are ranges of the index of operator and date instead, and the operators are
        // found by seeking that index from one to the next.
        auto countsWhere = [&](const QString& operatorCondition) {
            QStringList columns;
            for (const QString& kind :
                 {QStringLiteral("Done=True"), overdue, QStringLiteral("1=1")}) {
                columns << "(select count(*) from T_Schedule t where " + operatorCondition +
                               " and AwokeDate>=? and AwokeDate<? and " + kind +
                               andActivityFilter(filter) + ")";
                params << period.start() << period.end();
                if (kind == overdue)
                    params << dayStart;
                params += filter.params;
            }
            return columns.join(", ");
        };
        QString sql = "with recursive u(F_User) as (select min(F_User) from T_Schedule union all "
                      "select (select min(F_User) from T_Schedule where F_User>u.F_User) from u "
                      "where u.F_User is not null) select u.F_User, " +
                      countsWhere("t.F_User=u.F_User") + " from u where u.F_User is not null";
        sql += " union all select null, " + countsWhere("F_User is null");
        command = {sql, params};
    }
    auto table = [period, dayStart, overdue, filter](const QueryStore& rows) {
        FoldedGroups groups;
        for (uint32_t r = 0; r < rows.storedRows(); ++r) {
            std::vector<qint64> n = counts(rows, r, 1, 3); // done, overdue, all
            if (n[2] > 0) // an operator with activities only outside the period, or filtered out
                groups.add(cellValue(rows, r, 0), cellText(rows, r, 0),
                           {n[0], n[2] - n[0] - n[1], n[1]});
        }
        groups.sort();
        // The condition of each column, besides the operator and the period.
        const QString kinds[] = {"Done=True", kOpen + " and not (awoke=True and AwokeDate<?)",
                                 overdue};
        StatTable out{
            QStringLiteral("操作员"),
            {QStringLiteral("已完成"), QStringLiteral("未完成"), QStringLiteral("已过期")},
            {}};
        for (const auto& g : groups.groups) {
            StatRow row{g.label, g.values, {}};
            for (int i = 0; i < 3; ++i) {
                QString condition =
                    g.value.isNull() ? "(F_User is null or F_User='')" : "StrComp(F_User,?,1)=0";
                QVariantList values;
                if (!g.value.isNull())
                    values << g.value;
                condition += " and AwokeDate>=? and AwokeDate<? and " + kinds[i];
                values << period.start() << period.end();
                if (i > 0)
                    values << dayStart;
                row.customers.push_back(customersWithActivities(condition, values, filter));
            }
            out.rows.push_back(std::move(row));
        }
        return out;
    };
    return {command, table};
}

StatQuery activitiesDue(const QDate& today, int days, const CustomerFilter& filter) {
    Ranges ranges;
    for (int d = 0; d < days; ++d)
        ranges.push_back({QDateTime(today.addDays(d), QTime(0, 0)),
                          QDateTime(today.addDays(d + 1), QTime(0, 0))});
    const SqlCommand command =
        rangeCounts("T_Schedule where " + kOpen + " and ", "AwokeDate", ranges, filter, true);
    auto table = [today, ranges, filter](const QueryStore& rows) {
        QHash<qint64, qint64> byDay;
        for (uint32_t r = 0; r < rows.storedRows(); ++r)
            byDay[rows.integer(r, 0)] += rows.integer(r, 1);
        StatTable out{QStringLiteral("日期"), {QStringLiteral("到期活动")}, {}};
        for (size_t d = 0; d < ranges.size(); ++d)
            out.rows.push_back(
                {ranges[d].first.date().toString("yyyy-MM-dd"),
                 {byDay.value(qint64(d))},
                 {customersWithActivities(kOpen + " and AwokeDate>=? and AwokeDate<?",
                                          {ranges[d].first, ranges[d].second}, filter)}});
        return out;
    };
    return {command, table};
}

StatTable count(Connection& connection, const StatQuery& query, const std::atomic_bool* abandoned) {
    return query.table(*QueryStore::read(connection, query.command, abandoned));
}

} // namespace Stats
