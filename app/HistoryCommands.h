#pragma once

#include <QObject>
#include <QString>
#include <functional>

class Connection;
class MessageService;
class SettingsFile;
class QWidget;
class TFrm_Data;

// The main window's history commands: the current customer's history and the recycle bin.
class HistoryCommands : public QObject {
    Q_OBJECT
  public:
    HistoryCommands(TFrm_Data& data, MessageService& messages, QWidget* mainWindow);

    void showOfCurrentCustomer(QWidget* over); // nothing when the list has no rows
    void showBin(QWidget* over);

    std::function<void()> refreshList; // after a restore or an old value put back

  private:
    TFrm_Data& data_;
    MessageService& messages_;
    QWidget* mainWindow_;
};

// The logged-in operator and this workstation, handed to the data module's connection so the
// history records who made its changes.
void identifyOperator(TFrm_Data& data, const QString& currentOperator);

// After the daily backup: what outlived the bin's and the history's retention goes for good.
// A failure is told and stops nothing.
void purgeExpiredHistory(TFrm_Data& data, MessageService& messages, QWidget* owner);
// The same on a connection of the caller's, off the window's thread: what went wrong, for
// tellPurgeFailure() to tell on the window's (empty when nothing did).
QString purgeExpiredHistory(Connection& connection, const SettingsFile& settings);
void tellPurgeFailure(MessageService& messages, QWidget* owner, const QString& failure);
