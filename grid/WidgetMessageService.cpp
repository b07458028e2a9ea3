#include "grid/WidgetMessageService.h"

#include "grid/DialogFrame.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonKind {
    MsgButton button;
    QMessageBox::StandardButton standard;
    const char* englishText; // the standard boxes' buttons, English whatever the language
};

constexpr ButtonKind buttonKinds[] = {
    {mbOK, QMessageBox::Ok, "OK"},
    {mbYes, QMessageBox::Yes, "Yes"},
    {mbNo, QMessageBox::No, "No"},
    {mbRetry, QMessageBox::Retry, "Retry"},
    {mbCancel, QMessageBox::Cancel, "Cancel"},
};

} // namespace

int WidgetMessageService::present(const MessageBoxRequest& request) {
    QMessageBox box(boxIcon(request.icon), request.caption, request.text, QMessageBox::NoButton,
                    qobject_cast<QWidget*>(request.owner));
    const int buttons = request.buttons ? request.buttons : int(mbOK);
    for (const ButtonKind& kind : buttonKinds)
        if (buttons & kind.button) {
            QPushButton* button = box.addButton(kind.standard);
            if (request.englishButtons)
                button->setText(kind.englishText);
        }
    // Escape answers the gentlest choice on offer; a Yes/No question must be answered.
    if (buttons & mbCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons & mbOK)
        box.setEscapeButton(QMessageBox::Ok);
    frameFixedDialog(box);
    box.exec();
    const QAbstractButton* pressed = box.clickedButton();
    for (const ButtonKind& kind : buttonKinds)
        if (pressed && pressed == box.button(kind.standard))
            return kind.button;
    return (buttons & mbCancel) ? mbCancel : (buttons & mbNo) ? mbNo : mbOK;
}
