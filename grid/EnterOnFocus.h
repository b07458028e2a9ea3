#pragma once

class QPushButton;

// Enter on a focused button presses it, as the operators' desktop always did, without making
// the button the dialog's default for Enter pressed in its boxes.
void pressOnEnterWhenFocused(QPushButton* button);
