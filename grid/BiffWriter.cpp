#include "grid/BiffWriter.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace biff {

namespace {

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

GbkText::GbkText() : encoder_("GBK", QStringConverter::Flag::Stateless) {}

QByteArray GbkText::encode(QStringView text) {
    QByteArray bytes;
    append(bytes, text);
    return bytes;
}

qsizetype GbkText::append(QByteArray& out, QStringView text) {
    const qsizetype start = out.size();
    // GBK keeps ASCII as it is, and most cells are ASCII: no converter call for them.
    if (isAscii(text)) {
        out.resize(start + text.size());
        std::transform(text.begin(), text.end(), out.data() + start,
                       [](QChar c) { return char(c.unicode()); });
    } else {
        out.resize(start + encoder_.requiredSpace(text.size()));
        const char* end = encoder_.appendToBuffer(out.data() + start, text);
        out.truncate(end - out.constData());
    }
    if (out.size() - start > kMaxLabelBytes)
        out.truncate(start + wholeGbkPrefix(QByteArrayView(out).sliced(start), kMaxLabelBytes));
    return out.size() - start;
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
    char* p = header(biff::kBof, 8, 8);
    qToLittleEndian<quint16>(0x0000,
                             p); // version: zero, as the files this program has always written
    qToLittleEndian<quint16>(0x0010, p + 2); // worksheet
    qToLittleEndian<quint16>(0x0000, p + 4); // build
    qToLittleEndian<quint16>(0x0000, p + 6); // year
}

void BiffWriter::codePage() {
    qToLittleEndian(biff::kGbkCodePage, header(biff::kCodePage, 2, 2));
}

void BiffWriter::eof() {
    header(biff::kEof, 0, 0);
}

void BiffWriter::label(QStringView text) {
    const qsizetype start = out_.size();
    cellStart(biff::kLabel, 8, 0x0000);
    const auto n = static_cast<quint16>(gbk_.append(out_, text));
    // The lengths are known only once the text is encoded in place.
    qToLittleEndian<quint16>(8 + n, out_.data() + start + 2);
    qToLittleEndian<quint16>(n, out_.data() + start + 10);
    advance();
}

void BiffWriter::labelUtf8(std::string_view utf8) {
    if (biff::isAscii(utf8))
        labelBytes(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    else
        label(utf8_.decode(utf8));
}

void BiffWriter::labelBytes(QByteArrayView gbk) {
    const auto n = static_cast<quint16>(qMin<qsizetype>(gbk.size(), biff::kMaxLabelBytes));
    char* p = cellStart(biff::kLabel, 8 + n, 0x0000);
    qToLittleEndian(n, p);
    if (n > 0)
        std::memcpy(p + 2, gbk.data(), n);
    advance();
}

void BiffWriter::number(double value) {
    quint64 raw;
    std::memcpy(&raw, &value, sizeof raw);
    char* p = cellStart(biff::kNumber, 14, 0x0000);
    qToLittleEndian(raw, p);
    advance();
}

void BiffWriter::rk(qint32 value) {
    char* p = cellStart(biff::kRk, 10, 0x0000);
    // bit 1: integer, bit 0 clear: not /100
    qToLittleEndian<quint32>((static_cast<quint32>(value) << 2) | 0x2, p);
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

char* BiffWriter::grow(qsizetype n) {
    const qsizetype at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
}

// Writes the record header and makes room for the given part of its body; returns that room.
char* BiffWriter::header(quint16 type, quint16 length, qsizetype reserve) {
    char* p = grow(4 + reserve);
    qToLittleEndian(type, p);
    qToLittleEndian(length, p + 2);
    return p + 4;
}

// A cell record's header, row, column and format; returns the room for the rest of its body.
char* BiffWriter::cellStart(quint16 type, quint16 length, quint16 xf) {
    char* p = header(type, length, length);
    qToLittleEndian(static_cast<quint16>(row_), p);
    qToLittleEndian(static_cast<quint16>(column_), p + 2);
    qToLittleEndian(xf, p + 4);
    return p + 6;
}

void BiffWriter::advance() {
    if (++column_ < columns_)
        return;
    column_ = 0;
    ++row_;
}
