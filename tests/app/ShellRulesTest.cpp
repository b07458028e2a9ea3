#include "app/ClockText.h"
#include "app/LoginRules.h"

#include <gtest/gtest.h>

namespace {

TEST(ClockTextTest, DateTimeAndWeekdayWithLeadingZeros) {
    const QDate tuesday(2024, 3, 5);
    EXPECT_EQ(clockText(QDateTime(tuesday, QTime(14, 7, 9))),
              QStringLiteral("2024年03月05日 14时07分09秒  [星期二]"));
    EXPECT_EQ(clockText(QDateTime(tuesday, QTime(9, 5, 3))),
              QStringLiteral("2024年03月05日 09时05分03秒  [星期二]"));
    EXPECT_EQ(clockText(QDateTime(QDate(2024, 3, 10), QTime(0, 0, 0))),
              QStringLiteral("2024年03月10日 00时00分00秒  [星期日]"));
    EXPECT_EQ(clockText(QDateTime(QDate(2024, 3, 11), QTime(23, 59, 59))),
              QStringLiteral("2024年03月11日 23时59分59秒  [星期一]"));
}

TEST(OperatorNameTest, TrimmedAndCutToTwentyGbkBytesAtAWholeCharacter) {
    EXPECT_EQ(operatorNameFromChoice("  Admin \t"), "Admin");
    EXPECT_EQ(operatorNameFromChoice("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(operatorNameFromChoice(QStringLiteral("客户管理系统的操作员名字")),
              QStringLiteral("客户管理系统的操作员")); // ten characters, 20 bytes
    // 1 + 2*10 = 21 bytes: the tenth Chinese character would be split, so it goes whole.
    EXPECT_EQ(operatorNameFromChoice(QStringLiteral("a客户管理系统操作员名")),
              QStringLiteral("a客户管理系统操作员"));
    EXPECT_EQ(operatorNameFromChoice(QStringLiteral("张三")), QStringLiteral("张三"));
    // A full-width blank is part of the name, as it was in the 8-bit program.
    EXPECT_EQ(operatorNameFromChoice(QStringLiteral("\u3000李四")), QStringLiteral("\u3000李四"));
}

} // namespace
