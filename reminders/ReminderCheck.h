#pragma once

#include <QPointer>
#include <QString>
#include <functional>

class MessageService;
class PrintPreviewService;
class QTimer;
class QWidget;
class TFrm_Awoke;
class TFrm_Data;

// The start-up reminder check behind the main window's Timer1: each tick reads awoke from
// [OtherInfo] and, when it is 0, shows the reminder window modally, once per run.
class ReminderCheck {
  public:
    ReminderCheck(TFrm_Data& data, MessageService& messages, PrintPreviewService& previews,
                  std::function<QString()> currentOperator, QWidget* owner, QTimer* timer1);
    ~ReminderCheck();

    void Timer1Timer(); // the tick handler
    // Opens the window on the operator's command, on today's list when no day is stored; the
    // start-up opening keeps its own course.
    void openNow();
    // Runs on every new window before it shows (wires what the window may open).
    std::function<void(TFrm_Awoke&)> prepare;
    // Runs after a window has closed (what it changed may show elsewhere).
    std::function<void()> closed;

    TFrm_Awoke* Frm_Awoke() const; // the window while it is shown, else nullptr
    bool hasOpened() const { return opened_; }

  private:
    void showReminderWindow(QTimer* timer1, const QString& dayWhenAbsent);

    TFrm_Data& data_;
    MessageService& messages_;
    PrintPreviewService& previews_;
    std::function<QString()> currentOperator_;
    QPointer<QWidget> owner_;
    QPointer<QTimer> timer1_;
    QPointer<TFrm_Awoke> window_;
    bool opened_ = false;
};
