#include "grid/WidgetMessageService.h"
#include "tests/app/AppTestSupport.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// The desktop's own words for a standard button, translated when Qt's translations are loaded.
QString desktopText(QMessageBox::StandardButton button) {
    QMessageBox box;
    return box.addButton(button)->text();
}

TEST(WidgetMessageServiceTest, ShowsARealBoxOverItsOwnerWithTheDesktopsButtons) {
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
    QStringList desktop{desktopText(QMessageBox::No), desktopText(QMessageBox::Yes)};
    desktop.sort();
    EXPECT_EQ(buttons, desktop);
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

    QStringList buttons;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        buttons = buttonTexts(box);
        box->reject();
    });
    EXPECT_EQ(messages.confirm("sure?", mbOK | mbCancel), mbCancel);
    EXPECT_EQ(buttons, (QStringList{"Cancel", "OK"})) << "the typed boxes speak English";
}

} // namespace
