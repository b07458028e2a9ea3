#include "data/BusyWaiter.h"

#include <QThread>

BusyWaiter::BusyWaiter(BusyNote& note, int noteDelayMs, int retryMs)
    : note_(note), noteDelayMs_(noteDelayMs), retryMs_(retryMs) {}

QString BusyWaiter::noteText() {
    return QStringLiteral("数据库正被其他程序使用，正在等待…");
}

bool BusyWaiter::wait() {
    if (!waiting_) {
        waiting_ = true;
        clock_.start();
    }
    if (!shown_ && clock_.elapsed() >= noteDelayMs_) {
        note_.appear(noteText());
        shown_ = true;
    }
    if (shown_)
        return note_.pause(retryMs_);
    // Before the note is up nothing may take input: a plain sleep, no events.
    QThread::msleep(ulong(retryMs_));
    return true;
}

void BusyWaiter::waitOver() {
    if (shown_)
        note_.disappear();
    shown_ = false;
    waiting_ = false;
}
