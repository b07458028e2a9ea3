#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <optional>

// A dialog whose saves reach the database off the window's thread: while one is on its way the
// dialog shows it is busy, takes no other, and a close waits for the save's outcome, so what
// the database answers is still shown where the operator typed.
class SavingDialog : public QDialog {
    Q_OBJECT
  public:
    using QDialog::QDialog;

    bool saving() const { return saving_; }
    void done(int result) override; // waits for a save on its way

  protected:
    // Until finishSaving(), the widgets take no input and the busy cursor shows.
    void startSaving(const QList<QWidget*>& idle);
    // Back to input where it was, to show the save's outcome.
    void finishSaving();
    // Once the outcome shows: a close asked for meanwhile happens now.
    void closeIfAsked();

  private:
    bool saving_ = false;
    std::optional<int> closing_;
    QList<QPointer<QWidget>> idle_;
    QPointer<QWidget> focus_;
};
