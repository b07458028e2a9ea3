#pragma once

// The stretch of days a statistic covers, chosen by the operator, as bounds a statement binds.

#include <QDate>
#include <QDateTime>
#include <QString>

namespace Stats {

enum class PeriodKind { ThisMonth, ThisQuarter, ThisYear, Last12Months, Range };
enum class Step { Day, Week, Month };

struct Period {
    QDate first; // both days included
    QDate last;
    QDateTime start() const { return QDateTime(first, QTime(0, 0)); }
    QDateTime end() const { return QDateTime(last.addDays(1), QTime(0, 0)); } // excluded
    int days() const { return int(first.daysTo(last)) + 1; }
};

// The period of the kind around today; a range takes from and to in either order. Throws
// AppError for a range without two valid dates.
Period periodOf(PeriodKind kind, const QDate& today, const QDate& from = {}, const QDate& to = {});

// The step a chart of the period reads best in: days for a month, weeks for a quarter.
Step naturalStep(const Period& period);

// The first day of the step that holds day: itself, its Monday, or the first of its month.
QDate stepStart(Step step, const QDate& day);
QDate nextStep(Step step, const QDate& start);
// How the table names the step that starts on the day.
QString stepLabel(Step step, const QDate& start);

} // namespace Stats
