#pragma once

// The numbers behind the statistics window: one grouped statement per chart, counted by the
// database on either engine, and its rows as a table of labels and counts. Each count also
// knows the statement that lists exactly the customers it counted.

#include "StatPeriod.h"
#include "data/Engine.h"

#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

class QueryStore;

namespace Stats {

// Which customers count: a condition on the columns of Custom and the values it binds; empty
// for every customer. The caller hands in what the operator's rights allow.
struct CustomerFilter {
    QString sql;
    QVariantList params;
};

// The label a missing or empty value is counted under.
QString emptyLabel(); // "（空）"
// The label of the groups past the most a chart shows, counted together.
QString otherLabel(); // "其他"
inline constexpr int kMostGroups = 30;

struct StatRow {
    QString label;
    std::vector<qint64> values;
    std::vector<SqlCommand> customers; // per value: the customers it counts, for the list
};

struct StatTable {
    QString labelTitle;
    QStringList valueTitles;
    std::vector<StatRow> rows;
    qint64 total(int value) const;
};

// One chart's statement and how its result becomes the table.
struct StatQuery {
    SqlCommand command;
    std::function<StatTable(const QueryStore&)> table;
};

// New customers per step of the period, by AddDate; every step of the period has its row.
StatQuery newCustomers(const Period& period, Step step, const CustomerFilter& filter);
// Customers by the value of one customer column (a choice field, ...), most first; values that
// differ only in letter case count together, and past kMostGroups - 1 groups the rest count as
// one. The owner column counts under the operators' names, its empty group the pool's
// customers. Throws AppError for a name that is no column of the customer table.
StatQuery customersBy(Connection& connection, const QString& column, const QString& title,
                      const CustomerFilter& filter);
// Contact activities due in the period per operator: done, open, and overdue (reminded, open
// and due before today). The statement suits the connection's engine.
StatQuery activitiesPerOperator(const Connection& connection, const Period& period,
                                const QDate& today, const CustomerFilter& filter);
// Open activities due on each of the days from today on.
StatQuery activitiesDue(const QDate& today, int days, const CustomerFilter& filter);

// Runs the query on the connection and makes its table, for callers already off the window.
StatTable count(Connection& connection, const StatQuery& query,
                const std::atomic_bool* abandoned = nullptr);

} // namespace Stats
