#pragma once

// Worksheet files in the BIFF cell-record format: BOF, cell records, EOF and nothing else.
// No code page record is written, so readers take LABEL texts in their locale's code page;
// ours are GBK, as a Chinese desktop expects.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringEncoder>
#include <QtGlobal>

namespace biff {

constexpr quint16 kBof = 0x0809;
constexpr quint16 kLabel = 0x0204;
constexpr quint16 kNumber = 0x0203;
constexpr quint16 kRk = 0x027E;
constexpr quint16 kBlank = 0x0201;
constexpr quint16 kEof = 0x000A;

constexpr int kMaxLabelBytes = 0xFFFF - 8; // the record length field must hold 8 + n
constexpr int kMaxRows = 0x10000;          // rows 0..65535
constexpr qint64 kRkMin = -(qint64(1) << 29);
constexpr qint64 kRkMax = (qint64(1) << 29) - 1;

// Text as GBK bytes: a character GBK cannot hold becomes "?", and a text longer than a LABEL
// can hold is cut after the last whole character that fits.
class GbkText {
  public:
    GbkText();
    QByteArray encode(QStringView text);

  private:
    QStringEncoder encoder_;
};

// The byte length of the longest run of whole GBK characters from the start that fits in
// limit bytes.
int wholeGbkPrefix(QByteArrayView gbk, int limit);

} // namespace biff

// Appends worksheet records to a byte buffer. Cells fill the sheet row by row: each cell
// takes the cursor's place, then the cursor moves one column right, and after the last of
// columnsPerRow to column 0 of the next row.
class BiffWriter {
  public:
    explicit BiffWriter(int columnsPerRow);

    void bof();
    void eof();

    void label(QStringView text);        // GBK, see biff::GbkText
    void labelBytes(QByteArrayView gbk); // bytes as they stand, at most kMaxLabelBytes
    void number(double value);
    void rk(qint32 value);      // within kRkMin..kRkMax
    void integer(qint64 value); // RK when it fits, else NUMBER
    void blank();

    int row() const { return row_; }
    int column() const { return column_; }

    const QByteArray& bytes() const { return out_; }
    // Hands over the bytes written so far, so a caller can pass them on in pieces.
    QByteArray takeBytes();

  private:
    void header(quint16 type, quint16 length);
    void cellStart(quint16 type, quint16 length, quint16 xf);
    void put16(quint16 v);
    void put32(quint32 v);
    void advance();

    int columns_;
    int row_ = 0;
    int column_ = 0;
    QByteArray out_;
    biff::GbkText gbk_;
};
