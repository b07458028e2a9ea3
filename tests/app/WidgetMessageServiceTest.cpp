#include "grid/WidgetMessageService.h"
#include "tests/app/AppTestSupport.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

QStringList buttonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts << button->text();
    texts.sort();
    return texts;
}

TEST(WidgetMessageServiceTest, ShowsARealBoxOverItsOwnerWithEnglishButtons) {
    WidgetMessageService messages("custdesk");
    QWidget owner;
    owner.show();
    QWidget* parent = nullptr;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        parent = box->parentWidget();
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = buttonTexts(box);
        box->button(QMessageBox::No)->click();
    });
    const int answer =
        messages.messageBox(&owner, QStringLiteral("连接数据库失败"),
                            QStringLiteral("客户管理系统"), MsgIcon::Information, mbYes | mbNo);
    EXPECT_EQ(answer, mbNo);
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(caption, QStringLiteral("客户管理系统"));
    EXPECT_EQ(text, QStringLiteral("连接数据库失败"));
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(buttons, (QStringList{"No", "Yes"}));
}

TEST(WidgetMessageServiceTest, TheErrorBoxBelongsToTheApplicationAndEscapeAnswersCancel) {
    WidgetMessageService messages("custdesk");
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = &*std::make_unique<QWidget>(); // anything but null
    whenModal<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        parent = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    });
    messages.showError("disk full");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(parent, nullptr);

    whenModal<QMessageBox>([](QMessageBox* box) { box->reject(); });
    EXPECT_EQ(messages.confirm("sure?", mbOK | mbCancel), mbCancel);
}

} // namespace
