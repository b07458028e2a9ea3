#include "reminders/WholeNumber.h"
#include "data/AppError.h"

#include <gtest/gtest.h>

TEST(WholeNumber, AcceptsLeadingBlanksSignsAndTheWhole32BitRange) {
    EXPECT_EQ(parseWholeNumber("0"), 0);
    EXPECT_EQ(parseWholeNumber("  3"), 3);
    EXPECT_EQ(parseWholeNumber("\t-1"), -1);
    EXPECT_EQ(parseWholeNumber("+12"), 12);
    EXPECT_EQ(parseWholeNumber("007"), 7);
    EXPECT_EQ(parseWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(parseWholeNumber("-2147483648"), -2147483647 - 1);
}

TEST(WholeNumber, RefusesAnythingElse) {
    for (const char* text : {"", " ", "-", "+", "3 ", "3x", "- 3", "--3", "1.0", "1e3", "0x10",
                             "$10", "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_EQ(parseWholeNumber(text), std::nullopt) << text;
    EXPECT_EQ(parseWholeNumber(QStringLiteral("３")), std::nullopt); // full-width digit
    EXPECT_EQ(parseWholeNumber(QStringLiteral("١")), std::nullopt);  // Arabic-Indic digit
}

TEST(WholeNumber, RefusalNamesTheTextAsTyped) {
    try {
        toWholeNumber("3 ");
        FAIL() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(error.text(), "'3 ' is not a valid integer value");
    }
}
