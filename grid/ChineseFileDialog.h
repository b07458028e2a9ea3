#pragma once

// File dialogs that speak Chinese whatever the desktop speaks: Qt's own dialog (whose words
// the Chinese translator gives), with the type, size and date columns written in the program's
// locale instead of the system's.

#include <QString>

class QFileDialog;
class QWidget;

void speakChinese(QFileDialog& dialog);

// "" when the operator cancelled.
QString chineseOpenFileName(QWidget* owner, const QString& caption, const QString& filter);
QString chineseSaveFileName(QWidget* owner, const QString& caption, const QString& filter);
