#include "grid/FooterFormat.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(FooterFormat, SumsSkipEmptyValuesAndTakeTheFieldsForm) {
    FieldSum whole;
    for (const QVariant& v : {QVariant(qint64(9007199254740993)), QVariant(), QVariant(qint64(-2))})
        whole.add(v);
    EXPECT_EQ(whole.text(FieldKind::LargeInt), "9007199254740991"); // exact past 2^53

    FieldSum real;
    real.add(0.1);
    real.add(0.2);
    real.add(QVariant(QString("abc"))); // no number: adds nothing
    EXPECT_EQ(real.text(FieldKind::Float), "0.3");
    EXPECT_EQ(real.text(FieldKind::Decimal), "0.3");
    EXPECT_EQ(real.text(FieldKind::Currency), QLocale().toCurrencyString(0.1 + 0.2));

    EXPECT_EQ(footerSumText(FieldKind::Float, 0, 1.0 / 3), "0.333333333333333");
    EXPECT_EQ(footerSumText(FieldKind::Integer, 12, 12.0), "12");
    EXPECT_EQ(footerCountText(0), "0");
}
