#include "app/LoginRules.h"
#include "app/LoginThrottle.h"
#include "data/Passwords.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Every login outcome is the same whether the row holds plain text (older copies) or a hash.
TEST(PasswordRulesTest, HashedRowsJudgeEveryTypedTextAsPlainRowsDo) {
    const QString name = QStringLiteral("张三");
    const QStringList passwords = {"", "   ", "\t", "Secret", QStringLiteral("密码 12"), " x "};
    const QStringList typedTexts = {
        "",    " ", "   ", "\t", "Secret", "secret", "SECRET", "Secret ", QStringLiteral("密码 12"),
        " x ", "x"};
    for (const QString& password : passwords) {
        const QString hashed = storedFormOf(password, false, HashStrength::Quick);
        SCOPED_TRACE(("stored '" + password + "' as '" + hashed + "'").toStdString());
        EXPECT_EQ(storedFormOf(password, true), password);
        if (!password.isEmpty()) { // nothing of the password is readable in what is stored
            EXPECT_TRUE(StoredPassword(hashed).isHashed());
            EXPECT_FALSE(hashed.contains(password.trimmed().isEmpty() ? "   " : password));
            EXPECT_NE(storedFormOf(password, false, HashStrength::Quick), hashed) << "salted";
        } else {
            EXPECT_EQ(hashed, ""); // the empty password is no secret
        }
        EXPECT_EQ(StoredPassword(hashed).needsUpgrade(false), !password.isEmpty()) << "quick";
        EXPECT_EQ(StoredPassword(password).needsUpgrade(false), !password.isEmpty());
        EXPECT_FALSE(StoredPassword(password).needsUpgrade(true));
        for (const QString& typed : typedTexts) {
            SCOPED_TRACE(("typed '" + typed + "'").toStdString());
            const LoginVerdict plain = judgeLogin(name, typed, StoredPassword(password));
            EXPECT_EQ(judgeLogin(name, typed, StoredPassword(hashed)), plain);
            EXPECT_EQ(plain == LoginVerdict::Admitted, typed == password);
        }
    }
    EXPECT_EQ(judgeLogin("  ", "Secret", StoredPassword(storedFormOf("Secret", false))),
              LoginVerdict::NoNameChosen);
    const StoredPassword strong(storedFormOf("   ", false));
    EXPECT_TRUE(strong.isBlank() && strong.matches("   ") && !strong.matches("  "));
    EXPECT_FALSE(strong.needsUpgrade(false));
}

TEST(PasswordRulesTest, FiveWrongInARowMakeEachNextTryWaitLongerAndSuccessForgets) {
    qint64 now = 0;
    LoginThrottle throttle([&] { return now; });
    struct Step {
        int failuresBefore;
        int wait; // seconds after that many failures in a row
    };
    for (const Step step :
         {Step{4, 0}, Step{5, 2}, Step{6, 4}, Step{7, 8}, Step{8, 16}, Step{9, 30}, Step{12, 30}}) {
        while (throttle.failuresInARow(1) < step.failuresBefore)
            throttle.failed(1);
        EXPECT_EQ(throttle.secondsToWait(1), step.wait) << step.failuresBefore;
        EXPECT_EQ(throttle.secondsToWait(2), 0) << "another operator tries freely";
    }
    now += 29'001;
    EXPECT_EQ(throttle.secondsToWait(1), 1);
    now += 999;
    EXPECT_EQ(throttle.secondsToWait(1), 0); // nothing locks for good
    throttle.succeeded(1);
    throttle.failed(1);
    EXPECT_EQ(throttle.secondsToWait(1), 0);
    EXPECT_EQ(loginWaitText(5, 2), QStringLiteral("密码已连续输错5次，请2秒后再试！"));
}

TEST(PasswordRulesTest, ALongNameIsShownWholeOrVisiblyCut) {
    EXPECT_EQ((LoggedOperator{1, "Admin"}.shownName()), "Admin");
    EXPECT_EQ((LoggedOperator{1, QStringLiteral("客户管理系统的操作员")}.shownName()),
              QStringLiteral("客户管理系统的操作员"));
    EXPECT_EQ((LoggedOperator{1, QStringLiteral("a客户管理系统操作员名")}.shownName()),
              QStringLiteral("a客户管理系统操作员…"));
}

} // namespace
