#include "StatPeriod.h"

#include "data/AppError.h"

namespace Stats {

namespace {

QDate monthStart(const QDate& day) {
    return QDate(day.year(), day.month(), 1);
}

} // namespace

Period periodOf(PeriodKind kind, const QDate& today, const QDate& from, const QDate& to) {
    switch (kind) {
    case PeriodKind::ThisMonth:
        return {monthStart(today), monthStart(today).addMonths(1).addDays(-1)};
    case PeriodKind::ThisQuarter: {
        const QDate first(today.year(), (today.month() - 1) / 3 * 3 + 1, 1);
        return {first, first.addMonths(3).addDays(-1)};
    }
    case PeriodKind::ThisYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case PeriodKind::Last12Months: // this month and the eleven before it, whole
        return {monthStart(today).addMonths(-11), monthStart(today).addMonths(1).addDays(-1)};
    case PeriodKind::Range:
        break;
    }
    if (!from.isValid() || !to.isValid())
        throw AppError(QStringLiteral("请输入有效的起止日期"));
    return from <= to ? Period{from, to} : Period{to, from};
}

Step naturalStep(const Period& period) {
    if (period.days() <= 62)
        return Step::Day;
    return period.days() <= 190 ? Step::Week : Step::Month;
}

QDate stepStart(Step step, const QDate& day) {
    switch (step) {
    case Step::Day:
        return day;
    case Step::Week:
        return day.addDays(1 - day.dayOfWeek()); // weeks begin on Monday
    case Step::Month:
        return monthStart(day);
    }
    return day;
}

QDate nextStep(Step step, const QDate& start) {
    switch (step) {
    case Step::Day:
        return start.addDays(1);
    case Step::Week:
        return start.addDays(7);
    case Step::Month:
        return start.addMonths(1);
    }
    return start.addDays(1);
}

QString stepLabel(Step step, const QDate& start) {
    switch (step) {
    case Step::Day:
        return start.toString("yyyy-MM-dd");
    case Step::Week:
        return start.toString("yyyy-MM-dd") + QStringLiteral("起");
    case Step::Month:
        return start.toString("yyyy-MM");
    }
    return {};
}

} // namespace Stats
