#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void showStarsForPassword(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet("lineedit-password-character: 42;");
}
