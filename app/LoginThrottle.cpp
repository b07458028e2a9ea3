#include "app/LoginThrottle.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {

qint64 steadyMs() {
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

LoginThrottle::LoginThrottle(Clock clock) : clock_(clock ? std::move(clock) : Clock(steadyMs)) {}

int LoginThrottle::secondsToWait(qint64 operatorKey) const {
    const auto found = records_.find(operatorKey);
    if (found == records_.end())
        return 0;
    const qint64 left = found->second.nextTryMs - clock_();
    return left > 0 ? int((left + 999) / 1000) : 0;
}

void LoginThrottle::failed(qint64 operatorKey) {
    Record& record = records_[operatorKey];
    ++record.failures;
    const int beyond = record.failures - freeTries;
    if (beyond < 0)
        return;
    // 2, 4, 8, 16 seconds, then never more than the longest wait.
    const int seconds = std::min(longestWaitSeconds, 2 << std::min(beyond, 4));
    record.nextTryMs = clock_() + seconds * 1000LL;
}

int LoginThrottle::failuresInARow(qint64 operatorKey) const {
    const auto found = records_.find(operatorKey);
    return found == records_.end() ? 0 : found->second.failures;
}

QString loginWaitText(int failures, int seconds) {
    return QStringLiteral("密码已连续输错%1次，请%2秒后再试！").arg(failures).arg(seconds);
}
