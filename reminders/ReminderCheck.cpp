#include "reminders/ReminderCheck.h"

#include "data/Guard.h"
#include "data/U_Data.h"
#include "reminders/U_Awoke.h"

#include <QTimer>

ReminderCheck::ReminderCheck(TFrm_Data& data, MessageService& messages,
                             PrintPreviewService& previews,
                             std::function<QString()> currentOperator, QWidget* owner,
                             QTimer* timer1)
    : data_(data), messages_(messages), previews_(previews),
      currentOperator_(std::move(currentOperator)), owner_(owner), timer1_(timer1) {}

ReminderCheck::~ReminderCheck() = default;

TFrm_Awoke* ReminderCheck::Frm_Awoke() const {
    return window_.data();
}

void ReminderCheck::Timer1Timer() {
    guarded(messages_, [&] {
        // Once shown, never again this run, even if something switched the timer back on.
        if (opened_ || window_) // a window the operator opened is not opened inside itself
            return;
        if (data_.IniFile.ReadInteger(QStringLiteral("OtherInfo"), QStringLiteral("awoke"), -1) !=
            0)
            return;
        opened_ = true;
        showReminderWindow(timer1_.data(), QString());
    });
}

void ReminderCheck::openNow() {
    guarded(messages_, [&] {
        if (!window_)
            showReminderWindow(nullptr, QStringLiteral("0")); // today's, at once
    });
}

void ReminderCheck::showReminderWindow(QTimer* timer1, const QString& dayWhenAbsent) {
    window_ = new TFrm_Awoke(data_, messages_, previews_, currentOperator_, timer1, owner_.data());
    window_->dayWhenAbsent = dayWhenAbsent;
    if (prepare)
        prepare(*window_);
    window_->exec();
    // The owner may have taken the window with it while the modal loop ran.
    delete window_.data();
    if (closed)
        closed();
}
