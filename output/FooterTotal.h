#pragma once

#include "data/Engine.h"

#include <QVariant>

inline bool isWholeNumber(FieldKind kind) {
    return kind == FieldKind::Integer || kind == FieldKind::AutoInc;
}

inline bool isFraction(FieldKind kind) {
    return kind == FieldKind::Float || kind == FieldKind::Currency || kind == FieldKind::Decimal;
}

// A footer total in 1/10000 units, added up as a currency amount is. Throws AppError when the
// total leaves the range those units can hold.
class FooterTotal {
  public:
    void addRecord() { add(kUnitsPerOne); }
    void addValue(const QVariant& value, FieldKind kind);
    double value() const { return double(units_) / kUnitsPerOne; }

  private:
    static constexpr qint64 kUnitsPerOne = 10000;
    void addFraction(double number);
    void add(qint64 units);

    qint64 units_ = 0;
};
