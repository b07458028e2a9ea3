#include "app/ChineseLocale.h"
#include "customers/DateBox.h"
#include "data/DisplayFormat.h"
#include "grid/WidgetMessageService.h"
#include "tests/app/AppTestSupport.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

// Runs under the desktop's locale and again under en_US (see tests/CMakeLists.txt).
TEST(ChineseWhateverTheLocale, ButtonsCalendarsDatesAndNumbersReadChinese) {
    const auto translations = useChineseWhateverTheLocale();
    ASSERT_NE(translations, nullptr) << "Qt's Simplified Chinese translations are installed";

    QDialogButtonBox buttons;
    const struct {
        QDialogButtonBox::StandardButton button;
        const char* text;
    } standard[] = {{QDialogButtonBox::Ok, "确定"},
                    {QDialogButtonBox::Cancel, "取消"},
                    {QDialogButtonBox::Yes, "是(&Y)"},
                    {QDialogButtonBox::No, "否(&N)"}};
    for (const auto& s : standard)
        EXPECT_EQ(buttons.addButton(s.button)->text(), QString::fromUtf8(s.text));

    WidgetMessageService messages("custdesk");
    QStringList own, typed;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        own = buttonTexts(box);
        box->button(QMessageBox::No)->click();
    });
    messages.messageBox(nullptr, "连接数据库失败", "客户管理系统", MsgIcon::Information,
                        mbYes | mbNo);
    whenModal<QMessageBox>([&](QMessageBox* box) {
        typed = buttonTexts(box);
        box->reject();
    });
    messages.confirm("列属性已成功保存!", mbOK | mbCancel);
    EXPECT_EQ(own, (QStringList{"否(&N)", "是(&Y)"}));
    EXPECT_EQ(typed, (QStringList{"Cancel", "OK"})) << "the typed boxes stay English";

    QCalendarWidget calendar;
    EXPECT_EQ(calendar.locale().monthName(3), "三月");
    EXPECT_EQ(calendar.locale().dayName(1, QLocale::ShortFormat), "周一");

    DateBox box;
    box.setDate(QDate(2024, 3, 5));
    EXPECT_EQ(box.lineEdit()->text(), "2024-03-05") << "the box reads like the list";
    EXPECT_EQ(formatDate(QDate(2024, 3, 5)), "2024-03-05");
    EXPECT_EQ(formatDateTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))), "2024-03-05 14:07:09");
    box.show();
    box.lineEdit()->clear();
    box.lineEdit()->setFocus();
    box.lineEdit()->home(false);
    QTest::keyClicks(box.lineEdit(), "20250709");
    EXPECT_EQ(box.date(), QDate(2025, 7, 9));

    EXPECT_EQ(formatFloat(1234.5), "1234.5");
    EXPECT_TRUE(QLocale().toCurrencyString(1.5).startsWith(u'¥')) << QLocale().name().toStdString();

    QLocale::setDefault(QLocale::system()); // the other tests of this run see the desktop's
}

} // namespace
