#pragma once

#include "output/ImportSource.h"

#include <QFile>
#include <QStringDecoder>
#include <memory>

enum class TextEncoding { Detect, Utf8, Utf16, Gb18030 };

struct CsvOptions {
    TextEncoding encoding = TextEncoding::Detect;
    QChar separator;                    // null: detected among comma, semicolon and tab
    qsizetype maxRecordChars = 1 << 20; // a longer record is refused, not held
};

// CSV text as RFC 4180 writes it: quoted fields with doubled quotes, separators and line
// breaks inside quotes, lines ended by CR LF, LF or CR. Blank lines and lines of empty fields
// are passed over.
class CsvReader : public ImportSource {
  public:
    // Opens the file and settles encoding and separator; throws AppError for a file that is
    // empty, unreadable or not text.
    CsvReader(const QString& path, const CsvOptions& options = {});

    bool next(QVariantList& cells) override;
    qint64 line() const override { return recordLine_; }
    qint64 done() const override { return file_.pos(); }
    qint64 total() const override { return file_.size(); }

    TextEncoding encoding() const { return encoding_; }
    QChar separator() const { return separator_; }

  private:
    bool readRecord(QVariantList& cells);
    bool fill(); // decodes the next chunk; false at the end of the file
    [[noreturn]] void fail(const QString& what) const;
    void appendRun(QString& field, qsizetype& chars, QChar stop1, QChar stop2);

    QFile file_;
    CsvOptions options_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    QChar separator_;
    QStringDecoder decoder_;
    QString text_;
    qsizetype at_ = 0;
    qint64 lineNo_ = 1;
    qint64 recordLine_ = 0;
    bool atEnd_ = false;
};

// What a sample of bytes most likely is, by its byte-order mark or the validity of UTF-8.
TextEncoding detectEncoding(QByteArrayView sample);
// The separator the first line uses most, outside quotes; comma when none occurs.
QChar detectSeparator(QStringView firstLines);
