#pragma once

#include <QTranslator>
#include <memory>

// The operators read Chinese whatever the desktop's locale: Qt's own dialogs and buttons speak
// Simplified Chinese, and dates, numbers and calendars follow the Chinese (China) locale.
// The translator stays installed while the returned object lives; null when Qt's
// translations are not installed (the texts then stay English, nothing else changes).
std::unique_ptr<QTranslator> useChineseWhateverTheLocale();
