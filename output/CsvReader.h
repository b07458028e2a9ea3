#pragma once

#include "output/ImportSource.h"

#include <QFile>
#include <QStringDecoder>
#include <memory>

enum class TextEncoding { Detect, Utf8, Utf16, Gb18030 };

struct CsvOptions {
    TextEncoding encoding = TextEncoding::Detect;
    QChar separator; // null: detected among comma, semicolon and tab
    qsizetype maxRecordChars = kMaxImportRecordChars; // a longer record is refused, not held
};

// CSV text as RFC 4180 writes it: quoted fields with doubled quotes, separators and line
// breaks inside quotes (kept as the file has them), lines ended by CR LF, LF or CR. Blank
// lines and lines of empty fields are passed over. Bytes that are not of the encoding and NUL
// characters are refused with their line.
class CsvReader : public ImportSource {
  public:
    // Opens the file and settles encoding and separator; throws AppError for a file that is
    // empty, unreadable or not text.
    CsvReader(const QString& path, const CsvOptions& options = {},
              WorkProgress* progress = nullptr);

    bool next(QVariantList& cells) override;
    qint64 line() const override { return recordLine_; }
    qint64 done() const override { return file_.pos(); }
    qint64 total() const override { return file_.size(); }

    TextEncoding encoding() const { return encoding_; }
    QChar separator() const { return separator_; }

  private:
    bool readRecord(QVariantList& cells);
    bool fill();            // decodes the next chunk; false at the end of the file
    QByteArray nextBytes(); // up to a point where a character begins, so chunks decode alone
    QString decode(const QByteArray& bytes);
    qsizetype pieceEnd(const QByteArray& bytes, qsizetype at) const;
    qint64 firstBadLine(const QByteArray& bytes) const;
    [[noreturn]] void failEncoding(qint64 line) const;
    [[noreturn]] void fail(const QString& what) const;
    void appendRun(QString& field, qsizetype& chars, QChar stop1, QChar stop2);

    QFile file_;
    CsvOptions options_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    bool littleEndian_ = true; // of UTF-16
    QChar separator_;
    QByteArray undecoded_; // read, but after the last point where a character surely begins
    QString text_;
    qsizetype at_ = 0;
    qint64 lineNo_ = 1;
    qint64 recordLine_ = 0;
    qint64 decodedBreaks_ = 0; // line breaks in everything decoded so far
    bool decodedEndsInCr_ = false;
    bool firstChunk_ = true;
    bool atEnd_ = false;
    ReadProgress progress_;
};

// What a sample of bytes most likely is, by its byte-order mark or the validity of UTF-8.
TextEncoding detectEncoding(QByteArrayView sample);
// The separator the first line uses most, outside quotes; comma when none occurs.
QChar detectSeparator(QStringView firstLines);
