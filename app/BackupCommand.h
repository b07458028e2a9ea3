#pragma once

#include <QDateTime>

class MessageService;
class QWidget;
class TFrm_Data;

enum class BackupReason {
    FirstStartOfTheDay, // only when today has no copy yet; success goes unsaid
    Asked,              // the menu command: always, and the operator hears the outcome
};

// Backs up the database the data module uses, through a connection of its own, showing
// progress with a cancel button once it takes more than a second. A failure is told once and
// never stops the program.
void runBackup(TFrm_Data& data, MessageService& messages, QWidget* owner, BackupReason reason,
               const QDateTime& now = QDateTime::currentDateTime());
