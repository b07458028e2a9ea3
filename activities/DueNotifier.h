#pragma once

#include "data/Activities.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class Connection;

// Shows one message on the desktop; activated() reports a click on it.
class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual void show(qint64 activityId, const QString& title, const QString& body) = 0;
  signals:
    void activated(qint64 activityId);
};

// The desktop's notification service, else the tray icon's message, else a notifier that shows
// nothing: a desktop without either is no error.
std::unique_ptr<DesktopNotifier> createDesktopNotifier(QObject* parent = nullptr);

// Announces each reminder-flagged activity of the operator once, when it falls due while the
// program runs. Reading failures are kept quiet: a reminder must never become a message storm.
class DueWatcher : public QObject {
    Q_OBJECT
  public:
    DueWatcher(Connection& connection, std::function<QString()> currentOperator,
               DesktopNotifier& notifier, std::function<bool()> enabled, QObject* parent = nullptr);
    void start(int intervalMs = 30000);
    void check(const QDateTime& now = QDateTime::currentDateTime());

    Rights rights; // the operator's: activities of customers they may not see are not announced

  private:
    Connection& connection_;
    std::function<QString()> operator_;
    DesktopNotifier& notifier_;
    std::function<bool()> enabled_;
    DueTracker tracker_;
    QTimer timer_;
};

// The notification's text: the customer and the time, then the subject.
QString dueTitle(const Activity& activity);
QString dueBody(const Activity& activity);
