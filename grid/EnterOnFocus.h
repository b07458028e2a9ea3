#pragma once

class QPushButton;
class QString;
class QWidget;

// Enter on a focused button presses it, as the operators' desktop always did, without making
// the button the dialog's default for Enter pressed in its boxes.
void pressOnEnterWhenFocused(QPushButton* button);

// A button that Enter presses only when it has the focus, never as the dialog's default.
QPushButton* plainButton(const QString& caption, QWidget* parent);
