#pragma once

class QLineEdit;
class QWidget;

// Puts a top-level window in the middle of the primary screen's free area.
void centreOnScreen(QWidget* window);

// Password boxes show "*" for every character, as the operators know them.
void showStarsForPassword(QLineEdit* edit);
