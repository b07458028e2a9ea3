#include "data/AppError.h"
#include "data/Guard.h"
#include "tests/support/RecordingMessageService.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(MessageServiceTest, ErrorTextIsClosedOnceAsOneSentenceInItsOwnScript) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"", ""},
        {"Field 'x' not found", "Field 'x' not found."},
        {"done.", "done."},
        {"(1-2)", "(1-2)"}, // ')' sorts below '.'
        {"a-", "a-"},
        {"a/", "a/."},
        {"what?", "what?"},
        {"Stop!", "Stop!"},
        {"ошибка", "ошибка."},
        {"数据库已锁定", "数据库已锁定。"},
        {"该记录已被其他用户修改或删除，未能保存。", "该记录已被其他用户修改或删除，未能保存。"},
        {"合计超出范围,不能导出成Excel文件!", "合计超出范围,不能导出成Excel文件!"},
        {"是否继续？", "是否继续？"},
        {"数据库文件 'x.db' 不存在", "数据库文件 'x.db' 不存在。"},
        {"正在等待…", "正在等待…"},
        {"初始用户为：“Admin”", "初始用户为：“Admin”"},
        {"Qry_Cust: 没有当前记录", "Qry_Cust: 没有当前记录。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageService::errorBoxText(QString::fromUtf8(c.text)),
                  QString::fromUtf8(c.shown))
            << c.text;
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
