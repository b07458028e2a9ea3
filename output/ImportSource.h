#pragma once

// The rows of a file being imported, read forward once. Cells are texts, or for a spreadsheet
// also numbers (double) and dates (QDateTime) as the file typed them.

#include <QString>
#include <QVariantList>

class ImportSource {
  public:
    virtual ~ImportSource() = default;
    // The next row that holds anything; false after the last. Throws AppError for a file that
    // cannot be read on, naming the line.
    virtual bool next(QVariantList& cells) = 0;
    // The line (or sheet row) on which the last row returned began, counted from 1.
    virtual qint64 line() const = 0;
    // How far the reading has come, in units of total().
    virtual qint64 done() const = 0;
    virtual qint64 total() const = 0;
};
