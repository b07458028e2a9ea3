#pragma once

#include "output/ImportSource.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

// The cells of one sheet of a workbook file, read as its XML is unpacked: shared and inline
// texts as texts, numbers as numbers, and numbers in a date format as dates.
class XlsxReader : public ImportSource {
  public:
    // Throws AppError for a file that is not a readable workbook (damaged, cut short, foreign).
    explicit XlsxReader(const QString& path, int sheet = 0);
    ~XlsxReader() override;

    QStringList sheetNames() const { return sheetNames_; }

    bool next(QVariantList& cells) override;
    qint64 line() const override { return rowNumber_; }
    qint64 done() const override { return fed_; }
    qint64 total() const override { return sheetBytes_; }

  private:
    struct Archive;
    QByteArray readEntry(const QString& name, bool required) const;
    void readSheetList(const QString& path, int sheet);
    void readSharedStrings();
    void readStyles();
    bool readToken(); // the next XML token of the sheet; false at its end
    QVariant cellValue(const QString& type, int style, const QString& text) const;
    [[noreturn]] void damaged() const;

    std::unique_ptr<Archive> archive_;
    QString fileName_;
    QStringList sheetNames_;
    QString sheetEntry_;
    QStringList sharedStrings_;
    std::vector<bool> dateStyles_;
    QXmlStreamReader xml_;
    qint64 fed_ = 0;
    qint64 sheetBytes_ = 0;
    qint64 rowNumber_ = 0;
};

// A day count of the format (days since 30 December 1899, time as the fraction) as a date.
QDateTime dateFromSerial(double serial);
// Whether a number format shows a date or a time.
bool isDateFormat(int numFmtId, const QString& formatCode);
