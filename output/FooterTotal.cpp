#include "output/FooterTotal.h"

#include "data/AppError.h"

#include <QLocale>
#include <cmath>

namespace {

[[noreturn]] void totalOverflow() {
    throw AppError(QStringLiteral("合计超出范围,不能导出成Excel文件!"));
}

} // namespace

void FooterTotal::addValue(const QVariant& value, FieldKind kind) {
    if (isWholeNumber(kind) || kind == FieldKind::LargeInt) {
        qint64 units;
        if (__builtin_mul_overflow(value.toLongLong(), kUnitsPerOne, &units))
            totalOverflow();
        add(units);
    } else if (isFraction(kind)) {
        addFraction(value.toDouble());
    } else if (kind == FieldKind::Text || kind == FieldKind::Memo) {
        bool ok = false;
        const double number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (ok)
            addFraction(number);
    }
}

// Extended precision, so that only a true half is rounded to the even unit.
void FooterTotal::addFraction(double number) {
    const long double units = std::nearbyintl(static_cast<long double>(number) * kUnitsPerOne);
    if (!(std::fabs(units) < 9.2e18L))
        totalOverflow();
    add(static_cast<qint64>(units));
}

void FooterTotal::add(qint64 units) {
    if (__builtin_add_overflow(units_, units, &units_))
        totalOverflow();
}
