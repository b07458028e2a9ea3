#pragma once

#include <QString>
#include <stdexcept>

// An error the operator is told about: its text goes to the general error box as it stands.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};
