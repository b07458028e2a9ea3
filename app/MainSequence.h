#pragma once

#include "data/Engine.h"

#include <QList>
#include <QString>

class BusyWaiter;
class MessageService;

// The program from start to end: splash, main window, data module, login, then the message
// loop until the main window closes. programDir holds Config.ini and DataBase/; busy waits
// for a database another program holds. Returns the exit code.
int RunMainSequence(const QString& programDir, MessageService& messages,
                    BusyWaiter* busy = nullptr);

// What the start reads once the operator is known, sent together as the login admits them.
QList<SqlCommand> readsAfterLogin(qint64 operatorKey);

// The window font of the program: SimSun 9 pt where installed, else a CJK font beside it.
void applyProgramFont();
