#include "app/ClockText.h"

namespace {
QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QString clockText(const QDateTime& when) {
    static const QString weekdays[] = {
        QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"),
        QStringLiteral("星期四"), QStringLiteral("星期五"), QStringLiteral("星期六"),
        QStringLiteral("星期日"),
    };
    const QDate d = when.date();
    const QTime t = when.time();
    return QStringLiteral("%1年%2月%3日 %4时%5分%6秒  [%7]")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(twoDigits(d.month()), twoDigits(d.day()), twoDigits(t.hour()), twoDigits(t.minute()),
             twoDigits(t.second()), weekdays[d.dayOfWeek() - 1]);
}
