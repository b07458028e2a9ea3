#pragma once

// Worksheet files in the BIFF cell-record format: BOF, the code page, cell records, EOF. LABEL
// texts are GBK, as a Chinese desktop expects; the code page record tells readers elsewhere so.

#include "data/Utf8Decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringEncoder>
#include <QtGlobal>
#include <algorithm>
#include <string_view>

namespace biff {

constexpr quint16 kBof = 0x0809;
constexpr quint16 kLabel = 0x0204;
constexpr quint16 kNumber = 0x0203;
constexpr quint16 kRk = 0x027E;
constexpr quint16 kBlank = 0x0201;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kCodePage = 0x0042;
constexpr quint16 kGbkCodePage = 936;

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
    // Appends what encode() gives to out without a buffer of its own; returns its length.
    qsizetype append(QByteArray& out, QStringView text);

  private:
    QStringEncoder encoder_;
};

inline bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
}

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
    void codePage(); // GBK, the code page of every LABEL
    void eof();

    void label(QStringView text);          // GBK, see biff::GbkText
    void labelUtf8(std::string_view utf8); // the same for UTF-8 text
    void labelBytes(QByteArrayView gbk);   // bytes as they stand, at most kMaxLabelBytes
    void number(double value);
    void rk(qint32 value);      // within kRkMin..kRkMax
    void integer(qint64 value); // RK when it fits, else NUMBER
    void blank();

    int row() const { return row_; }
    int column() const { return column_; }

    const QByteArray& bytes() const { return out_; }
    // Hands over the bytes written so far, so a caller can pass them on in pieces.
    QByteArray takeBytes();
    // Forgets the bytes written so far but keeps their room for the next ones.
    void clearBytes() { out_.truncate(0); }

  private:
    char* grow(qsizetype n); // room for n more bytes at the end
    char* header(quint16 type, quint16 length, qsizetype reserve);
    char* cellStart(quint16 type, quint16 length, quint16 xf);
    void advance();

    int columns_;
    int row_ = 0;
    int column_ = 0;
    QByteArray out_;
    biff::GbkText gbk_;
    Utf8Decoder utf8_;
};
