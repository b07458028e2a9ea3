#pragma once

// Text forms of footer values, free of widgets so they can be checked on their own.

#include "data/Engine.h"

#include <QString>
#include <QVariant>

// The running total of one field's non-empty values.
class FieldSum {
  public:
    void add(const QVariant& value);
    void clear();
    QString text(FieldKind kind) const;

  private:
    qint64 whole_ = 0; // exact for the whole-number kinds
    double real_ = 0;
};

bool isWholeNumberKind(FieldKind kind);

// Whole number for integer kinds, 15 significant digits for the others, the system's currency
// form for currency fields.
QString footerSumText(FieldKind kind, qint64 whole, double real);
QString footerCountText(int count);
