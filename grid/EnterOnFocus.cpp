#include "EnterOnFocus.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

class EnterPresses : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto* button = static_cast<QPushButton*>(watched);
        if (button->isEnabled())
            button->click();
        return true;
    }
};

} // namespace

void pressOnEnterWhenFocused(QPushButton* button) {
    button->installEventFilter(new EnterPresses(button));
}

QPushButton* plainButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false); // Enter in a box presses nothing
    pressOnEnterWhenFocused(button);
    return button;
}
