#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>

// Slows down guessing at the login: after five wrong passwords in a row for one operator,
// each further try has to wait a little longer. Nothing ever locks an operator out for good.
class LoginThrottle {
  public:
    using Clock = std::function<qint64()>; // milliseconds on a clock that never goes back

    explicit LoginThrottle(Clock clock = {});

    // Whole seconds (rounded up) before the operator may try again; 0 when a try may be made.
    int secondsToWait(qint64 operatorKey) const;
    void failed(qint64 operatorKey);
    void succeeded(qint64 operatorKey) { records_.erase(operatorKey); }
    int failuresInARow(qint64 operatorKey) const;

    static constexpr int freeTries = 5;
    static constexpr int longestWaitSeconds = 30;

  private:
    struct Record {
        int failures = 0;
        qint64 nextTryMs = 0;
    };
    Clock clock_;
    std::map<qint64, Record> records_;
};

// What the operator is told when a try comes before the wait is over.
QString loginWaitText(int failures, int seconds);
