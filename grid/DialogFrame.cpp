#include "grid/DialogFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class StaysOnScreen : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && event->type() == QEvent::WindowStateChange && window->isMinimized())
            QTimer::singleShot(0, window, [window] { restore(*window); });
        return false;
    }

  private:
    static void restore(QWidget& window) {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    }
};

void frameDialog(QWidget& dialog, Qt::WindowFlags buttons) {
    const bool shown = dialog.isVisible();
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | buttons);
    if (shown) // a new frame hides the window
        dialog.show();
    const QString name = QStringLiteral("staysOnScreen");
    if (dialog.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return; // framed before
    auto* filter = new StaysOnScreen(&dialog);
    filter->setObjectName(name);
    dialog.installEventFilter(filter);
}

} // namespace

void frameFixedDialog(QWidget& dialog) {
    frameDialog(dialog, Qt::MSWindowsFixedSizeDialogHint);
}

void frameResizableDialog(QWidget& dialog) {
    frameDialog(dialog, Qt::WindowMaximizeButtonHint);
}
