#include "grid/SavingDialog.h"

#include <utility>

void SavingDialog::startSaving(const QList<QWidget*>& idle) {
    saving_ = true;
    focus_ = focusWidget();
    idle_.clear();
    for (QWidget* w : idle)
        if (w && w->isEnabled()) {
            idle_ << w;
            w->setEnabled(false);
        }
    setCursor(Qt::BusyCursor);
}

void SavingDialog::finishSaving() {
    saving_ = false;
    for (const QPointer<QWidget>& w : std::exchange(idle_, {}))
        if (w)
            w->setEnabled(true);
    unsetCursor();
    if (focus_)
        focus_->setFocus();
}

void SavingDialog::closeIfAsked() {
    if (closing_ && !saving_)
        QDialog::done(*std::exchange(closing_, std::nullopt));
}

void SavingDialog::done(int result) {
    if (saving_) {
        closing_ = result;
        return;
    }
    closing_.reset(); // closed by the save's outcome itself
    QDialog::done(result);
}
