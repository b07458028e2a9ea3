#pragma once

#include <QList>
#include <QString>

// A sort text such as "  A DESC , B": field names separated by commas, each
// optionally followed by DESC; the first field is the main key.
struct SortKey {
    QString field;
    bool descending = false;
    bool operator==(const SortKey&) const = default;
};

// Throws AppError for a text that is not such a list.
QList<SortKey> parseSortText(const QString& text);
