#pragma once

// The rows of a file being imported, read forward once. Cells are texts, or for a spreadsheet
// also numbers (double) and dates (QDateTime) as the file typed them.

#include "output/WorkProgress.h"

#include <QString>
#include <QVariantList>
#include <exception>

// The most characters a row may hold: longer than any customer's fields together, and short
// enough that a hostile file cannot make the reader hold gigabytes.
constexpr qsizetype kMaxImportRecordChars = 1 << 20;

// The operator stopped the reading of a file; nothing was read into the database.
class ImportCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "import cancelled"; }
};

class ImportSource {
  public:
    virtual ~ImportSource() = default;
    // The next row that holds anything; false after the last. Throws AppError for a file that
    // cannot be read on, naming the line, and ImportCancelled when its progress said stop.
    virtual bool next(QVariantList& cells) = 0;
    // The line (or sheet row) on which the last row returned began, counted from 1.
    virtual qint64 line() const = 0;
    // How far the reading has come, in units of total().
    virtual qint64 done() const = 0;
    virtual qint64 total() const = 0;
};

// Told of every piece a reader takes in, so even a long run of empty rows shows its progress
// and can be stopped. It asks at the first piece, then every 100 ms.
class ReadProgress {
  public:
    explicit ReadProgress(WorkProgress* progress = nullptr, qint64 total = 0)
        : progress_(progress), total_(total) {}
    void restart(qint64 total) { total_ = total; }
    // Throws ImportCancelled once the operator asked to stop.
    void tick(qint64 done) {
        if (!progress_ || (clock_.isValid() && clock_.elapsed() < 100))
            return;
        clock_.start();
        if (!progress_->advance(done, total_))
            throw ImportCancelled();
    }

  private:
    WorkProgress* progress_;
    qint64 total_;
    QElapsedTimer clock_;
};
