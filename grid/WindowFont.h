#pragma once

#include <QFont>
#include <QWidget>

// The windows of the program write their texts in SimSun at 12 pixels (Qt falls back to a
// font with the same glyphs where SimSun is not installed).
inline void applyWindowFont(QWidget& window) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    window.setFont(font);
}
