#pragma once

#include "output/ImportSource.h"

#include <QStringList>
#include <memory>
#include <vector>

// The cells of one sheet of a workbook file, read as its XML is unpacked: shared and inline
// texts as texts, numbers as numbers, and numbers in a date format as dates. A hostile file
// is refused before it costs much: parts that unpack past a sane size or ratio, rows longer
// than an import takes, cells beyond the sheet's last column or row.
class XlsxReader : public ImportSource {
  public:
    // Throws AppError for a file that is not a readable workbook (damaged, cut short, foreign,
    // too big), and ImportCancelled when progress said stop.
    explicit XlsxReader(const QString& path, int sheet = 0, WorkProgress* progress = nullptr,
                        qsizetype maxRowChars = kMaxImportRecordChars);
    ~XlsxReader() override;

    QStringList sheetNames() const { return sheetNames_; }

    bool next(QVariantList& cells) override;
    qint64 line() const override { return rowNumber_; }
    qint64 done() const override;
    qint64 total() const override;

  private:
    struct Archive;
    class Part;
    void readSheetList(const QString& path, int sheet);
    void readSharedStrings();
    void readStyles();
    QString sharedString(const QString& index) const;
    QVariant cellValue(const QString& type, int style, const QString& text) const;
    void startRow();
    int cellColumn(qsizetype cellsSoFar) const;
    void countChars(qsizetype chars);
    [[noreturn]] void damaged() const;
    [[noreturn]] void tooLong() const;
    [[noreturn]] void outsideSheet(QStringView reference) const;

    std::unique_ptr<Archive> archive_;
    std::unique_ptr<Part> sheet_;
    QString fileName_;
    QStringList sheetNames_;
    QString sheetEntry_;
    QString strings_;                 // every shared text, one after another
    std::vector<quint32> stringEnds_; // where each ends in strings_
    std::vector<bool> dateStyles_;
    ReadProgress progress_;
    qsizetype maxRowChars_;
    qsizetype rowChars_ = 0;
    qint64 rowNumber_ = 0;
};

// A day count of the format (days since 30 December 1899, time as the fraction) as a date.
QDateTime dateFromSerial(double serial);
// Whether a number format shows a date or a time.
bool isDateFormat(int numFmtId, const QString& formatCode);
