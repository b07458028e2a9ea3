#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "data/SortText.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayFormat, StoredDateTimesReadInTheirUsualSpellings) {
    const QDateTime expected(QDate(2024, 3, 5), QTime(7, 8, 9));
    EXPECT_EQ(parseStoredDateTime("2024-03-05 07:08:09"), expected);
    EXPECT_EQ(parseStoredDateTime("2024-3-5T7:08:09"), expected);
    EXPECT_EQ(parseStoredDateTime("2024/03/05 07:08"), QDateTime(QDate(2024, 3, 5), QTime(7, 8)));
    EXPECT_EQ(parseStoredDateTime("2024-03-05"), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    for (const char* bad : {"", "2024-02-30", "2024-13-01", "24-03-05", "2024-03-05 25:00",
                            "2024-03-05 07:08:09 extra", "soon"})
        EXPECT_FALSE(parseStoredDateTime(bad)) << bad;
    EXPECT_EQ(storedDateTimeText(expected), "2024-03-05 07:08:09");
    EXPECT_LT(*storedDateTimeKey("2024-9-30 23:59:59"), *storedDateTimeKey("2024-10-01"));
}

TEST(DisplayFormat, ShortDatesHaveTwoDigitDaysAndMonthsAndFourDigitYears) {
    const QString format = shortDateFormat();
    EXPECT_TRUE(format.contains("yyyy") && format.contains("MM") && format.contains("dd"))
        << format.toStdString();
    EXPECT_FALSE(format.contains("yyyyy") || format.contains("MMM") || format.contains("ddd"));
    const QString date = formatDate(QDate(2024, 3, 5));
    EXPECT_TRUE(date.contains("2024") && date.contains("03") && date.contains("05"));
    EXPECT_EQ(formatDateTime(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), date);
    EXPECT_TRUE(
        formatDateTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))).startsWith(date + " "));
    EXPECT_FALSE(longTimeFormat().contains('t'));
}

TEST(DisplayFormat, FloatsInGeneralFormat) {
    EXPECT_EQ(formatFloat(1.5), "1.5");
    EXPECT_EQ(formatFloat(100), "100");
    EXPECT_EQ(formatFloat(-0.25), "-0.25");
    EXPECT_EQ(formatFloat(0.1 + 0.2), "0.3") << "15 significant digits";
    EXPECT_EQ(formatFloat(1e20), "1E20");
    EXPECT_EQ(formatFloat(1.5e-7), "1.5E-7");
    EXPECT_EQ(formatBoolean(true), "True");
}

TEST(SortText, ParsesFieldsWithOptionalDirections) {
    EXPECT_EQ(parseSortText("  A DESC , B"), (QList<SortKey>{{"A", true}, {"B", false}}));
    EXPECT_EQ(parseSortText("a asc,b desc"), (QList<SortKey>{{"a", false}, {"b", true}}));
    EXPECT_EQ(parseSortText("[Add Date] DESC"), (QList<SortKey>{{"Add Date", true}}));
    EXPECT_TRUE(parseSortText("   ").isEmpty());
    for (const char* bad : {",", "A,", "A B", "A DESC DESC", "[A", "DESC,"})
        EXPECT_THROW(parseSortText(bad), AppError) << bad;
}

} // namespace
