#include "FooterFormat.h"

#include <QLocale>

namespace {
constexpr int significantDigits = 15;
} // namespace

bool isWholeNumberKind(FieldKind kind) {
    return kind == FieldKind::Integer || kind == FieldKind::AutoInc || kind == FieldKind::LargeInt;
}

void FieldSum::add(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        const qint64 n = value.toLongLong();
        whole_ += n;
        real_ += double(n);
        return;
    }
    bool ok = false;
    const double x = value.toDouble(&ok);
    if (ok) { // text that is no number adds nothing
        real_ += x;
        whole_ += qint64(x);
    }
}

void FieldSum::clear() {
    whole_ = 0;
    real_ = 0;
}

QString FieldSum::text(FieldKind kind) const {
    return footerSumText(kind, whole_, real_);
}

QString footerSumText(FieldKind kind, qint64 whole, double real) {
    if (isWholeNumberKind(kind))
        return QString::number(whole);
    if (kind == FieldKind::Currency)
        return QLocale().toCurrencyString(real);
    return QString::number(real, 'g', significantDigits);
}

QString footerCountText(int count) {
    return QString::number(count);
}
