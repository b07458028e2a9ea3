#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class DesktopNotifier;
class DueWatcher;
class MessageService;
class QWidget;
class TFrm_Data;

// The main window's activity commands: a customer's activities, the coming seven days, one
// activity opened from a reminder or a notification, and the watch for activities falling due.
class ActivityCommands : public QObject {
    Q_OBJECT
  public:
    ActivityCommands(TFrm_Data& data, MessageService& messages,
                     std::function<QString()> currentOperator, QWidget* mainWindow);
    ~ActivityCommands() override;

    void showOfCurrentCustomer(QWidget* over); // nothing when the list has no rows
    void showUpcoming(QWidget* over);
    void openActivity(qint64 id, QWidget* over);

    // Starts announcing due activities on the desktop, or through the given notifier.
    void startWatching();
    void startWatching(std::unique_ptr<DesktopNotifier> notifier);
    DueWatcher* watcher() const { return watcher_.get(); }

    // The operator's reminded open activities due by today, overdue ones included; read again
    // at every beat of the watch and after each activity window closes.
    int dueCount() const { return dueCount_; }
    void refreshDueCount();
    // The reminder button's caption for that count.
    static QString awokeButtonText(int dueCount);

  signals:
    void dueCountChanged(int dueCount);

  private:
    void onNotificationClicked(qint64 id);

    TFrm_Data& data_;
    MessageService& messages_;
    std::function<QString()> operator_;
    QWidget* mainWindow_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<DueWatcher> watcher_;
    QTimer countBeat_;
    int dueCount_ = -1; // not read yet
};
