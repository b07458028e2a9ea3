#pragma once

class QWidget;

// Frames of modal windows. None offers a minimise box, and one minimised anyway (by the window
// manager's menu or keys) comes straight back: with no task bar a minimised modal window, and
// the disabled main window behind it, could not be found again.
void frameFixedDialog(QWidget& dialog);     // title, system menu and close box
void frameResizableDialog(QWidget& dialog); // the same and a maximise box
