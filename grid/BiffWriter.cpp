#include "grid/BiffWriter.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace biff {

GbkText::GbkText() : encoder_("GBK", QStringConverter::Flag::Stateless) {}

QByteArray GbkText::encode(QStringView text) {
    // GBK keeps ASCII as it is, and most cells are ASCII: no converter call for them.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    QByteArray bytes = ascii ? text.toLatin1() : QByteArray(encoder_.encode(text));
    if (bytes.size() > kMaxLabelBytes)
        bytes.truncate(wholeGbkPrefix(bytes, kMaxLabelBytes));
    return bytes;
}

int wholeGbkPrefix(QByteArrayView gbk, int limit) {
    int end = 0;
    while (end < gbk.size()) {
        const auto lead = static_cast<unsigned char>(gbk[end]);
        const int width = (lead >= 0x81 && lead <= 0xFE) ? 2 : 1; // 0x80 is the one-byte euro
        if (end + width > limit || end + width > gbk.size())
            break;
        end += width;
    }
    return end;
}

} // namespace biff

BiffWriter::BiffWriter(int columnsPerRow) : columns_(columnsPerRow) {}

void BiffWriter::bof() {
    header(biff::kBof, 8);
    put16(0x0000); // version: zero, as the files this program has always written
    put16(0x0010); // worksheet
    put16(0x0000); // build
    put16(0x0000); // year
}

void BiffWriter::eof() {
    header(biff::kEof, 0);
}

void BiffWriter::label(QStringView text) {
    labelBytes(gbk_.encode(text));
}

void BiffWriter::labelBytes(QByteArrayView gbk) {
    const auto n = static_cast<quint16>(qMin<qsizetype>(gbk.size(), biff::kMaxLabelBytes));
    cellStart(biff::kLabel, 8 + n, 0x0000);
    put16(n);
    out_.append(gbk.data(), n);
    advance();
}

void BiffWriter::number(double value) {
    quint64 raw;
    std::memcpy(&raw, &value, sizeof raw);
    cellStart(biff::kNumber, 14, 0x0000);
    put32(static_cast<quint32>(raw));
    put32(static_cast<quint32>(raw >> 32));
    advance();
}

void BiffWriter::rk(qint32 value) {
    cellStart(biff::kRk, 10, 0x0000);
    put32((static_cast<quint32>(value) << 2) | 0x2); // bit 1: integer, bit 0 clear: not /100
    advance();
}

void BiffWriter::integer(qint64 value) {
    if (value >= biff::kRkMin && value <= biff::kRkMax)
        rk(static_cast<qint32>(value));
    else
        number(static_cast<double>(value));
}

void BiffWriter::blank() {
    cellStart(biff::kBlank, 6, 0x0017);
    advance();
}

QByteArray BiffWriter::takeBytes() {
    QByteArray bytes;
    bytes.swap(out_);
    return bytes;
}

void BiffWriter::header(quint16 type, quint16 length) {
    put16(type);
    put16(length);
}

void BiffWriter::cellStart(quint16 type, quint16 length, quint16 xf) {
    header(type, length);
    put16(static_cast<quint16>(row_));
    put16(static_cast<quint16>(column_));
    put16(xf);
}

void BiffWriter::put16(quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out_.append(b, 2);
}

void BiffWriter::put32(quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out_.append(b, 4);
}

void BiffWriter::advance() {
    if (++column_ < columns_)
        return;
    column_ = 0;
    ++row_;
}
