#pragma once

#include <QString>
#include <optional>

// The day box takes a whole decimal number: blanks before it, an optional sign, digits, and
// nothing after them; the value must fit 32 bits.
std::optional<int> parseWholeNumber(const QString& text);

// As parseWholeNumber, but throws AppError "'<text>' is not a valid integer value".
int toWholeNumber(const QString& text);
