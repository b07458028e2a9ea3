#include "data/AppError.h"
#include "data/Guard.h"
#include "tests/support/RecordingMessageService.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(MessageServiceTest, ErrorTextGetsAFullStopOnlyWhenItsLastCharacterSortsAboveIt) {
    EXPECT_EQ(MessageService::errorBoxText(""), "");
    EXPECT_EQ(MessageService::errorBoxText("Field 'x' not found"), "Field 'x' not found.");
    EXPECT_EQ(MessageService::errorBoxText("done."), "done.");
    EXPECT_EQ(MessageService::errorBoxText("what?"), "what?."); // '?' sorts above '.'
    EXPECT_EQ(MessageService::errorBoxText("(1-2)"), "(1-2)");  // ')' sorts below '.'
    EXPECT_EQ(MessageService::errorBoxText("a-"), "a-");
    EXPECT_EQ(MessageService::errorBoxText("a/"), "a/.");
    EXPECT_EQ(MessageService::errorBoxText(QStringLiteral("数据库已锁定")),
              QStringLiteral("数据库已锁定."));
}

TEST(MessageServiceTest, StandardBoxesCarryTheirCaptionsIconsAndButtons) {
    RecordingMessageService messages;
    messages.showError("disk full");
    messages.notice("hello");
    messages.confirm("sure?", mbOK | mbCancel);
    messages.information("note", mbOK);
    ASSERT_EQ(messages.shown.size(), 4);

    const auto& error = messages.shown[0];
    EXPECT_EQ(error.text, "disk full.");
    EXPECT_EQ(error.caption, "custdesk");
    EXPECT_EQ(error.icon, MsgIcon::Error);
    EXPECT_EQ(error.buttons, mbOK);

    EXPECT_EQ(messages.shown[1].caption, "custdesk");
    EXPECT_EQ(messages.shown[1].icon, MsgIcon::None);
    EXPECT_EQ(messages.shown[1].buttons, mbOK);
    EXPECT_EQ(messages.shown[2].caption, "Confirm");
    EXPECT_EQ(messages.shown[2].icon, MsgIcon::Question);
    EXPECT_EQ(messages.shown[2].buttons, mbOK | mbCancel);
    EXPECT_EQ(messages.shown[3].caption, "Information");
    EXPECT_EQ(messages.shown[3].icon, MsgIcon::Information);
}

TEST(MessageServiceTest, ApplicationTitleIsTheFileNameUpToItsFirstDotInLowerCase) {
    EXPECT_EQ(applicationTitleFromPath("/x/custdesk"), "custdesk");
    EXPECT_EQ(applicationTitleFromPath("/x/CustDesk.bin.old"), "Custdesk");
    EXPECT_EQ(applicationTitleFromPath("/x.y/cUSTDESK"), "custdesk");
    EXPECT_EQ(applicationTitleFromPath("/x/.hidden"), "");
}

TEST(GuardTest, EveryKindOfExceptionEndsInTheGeneralErrorBox) {
    RecordingMessageService messages;
    EXPECT_TRUE(guarded(messages, [] {}));
    EXPECT_FALSE(guarded(messages, [] { throw AppError("Qry_Cust: Field 'x' not found"); }));
    EXPECT_FALSE(guarded(messages, [] { throw std::runtime_error("bad thing"); }));
    EXPECT_FALSE(guarded(messages, [] { throw 42; }));
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(messages.shown[0].text, "Qry_Cust: Field 'x' not found.");
    EXPECT_EQ(messages.shown[1].text, "bad thing.");
    EXPECT_EQ(messages.shown[2].icon, MsgIcon::Error);
}

} // namespace
