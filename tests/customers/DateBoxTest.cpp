#include "customers/DateBox.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(DateBoxFormat, FollowsTheLocalesOrderAndSeparatorWithPaddedParts) {
    const DateBoxFormat china(QLocale(QLocale::Chinese, QLocale::China));
    EXPECT_EQ(china.order(), "ymd");
    EXPECT_EQ(china.text(QDate(2024, 3, 5)), "2024/03/05");
    EXPECT_EQ(china.parse("2024/03/05"), QDate(2024, 3, 5));

    const DateBoxFormat germany(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(germany.order(), "dmy");
    EXPECT_EQ(germany.separator(), u'.');
    EXPECT_EQ(germany.text(QDate(2024, 3, 5)), germany.fourDigitYear() ? "05.03.2024" : "05.03.24");

    const DateBoxFormat us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.order(), "mdy");
    EXPECT_EQ(us.parse(us.text(QDate(2031, 12, 31))), QDate(2031, 12, 31));
}

TEST(DateBoxFormat, IncompleteOrImpossibleTextReadsAsNoDate) {
    const DateBoxFormat china(QLocale(QLocale::Chinese, QLocale::China));
    EXPECT_FALSE(china.parse("2024/02/30").isValid());
    EXPECT_FALSE(china.parse("2024/02/").isValid());
    EXPECT_FALSE(china.parse("//").isValid());
}

TEST(DateBox, CanBeEmptyAndTreatsTheZeroDateAsEmpty) {
    DateBox box;
    EXPECT_TRUE(box.isEmpty());
    EXPECT_FALSE(box.date().isValid());
    box.setDate(QDate(2024, 3, 5));
    EXPECT_EQ(box.date(), QDate(2024, 3, 5));
    box.setDate(QDate(1899, 12, 30));
    EXPECT_TRUE(box.isEmpty());
    box.setDate(QDate());
    EXPECT_TRUE(box.isReadable());
    box.lineEdit()->setText("1");
    EXPECT_FALSE(box.isReadable());
}

TEST(DateBox, TypingDigitsAndPickingFromTheCalendarBothSetTheDate) {
    DateBox box;
    box.show();
    const QString typed = box.format().text(QDate(2025, 7, 9)).remove(box.format().separator());
    box.lineEdit()->setFocus();
    box.lineEdit()->home(false);
    QTest::keyClicks(box.lineEdit(), typed);
    EXPECT_EQ(box.date(), QDate(2025, 7, 9));
    box.showPopup();
    ASSERT_TRUE(box.popupVisible());
    emit box.calendar()->clicked(QDate(2020, 1, 31));
    EXPECT_FALSE(box.popupVisible());
    EXPECT_EQ(box.date(), QDate(2020, 1, 31));
}

} // namespace
