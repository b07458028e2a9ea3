#include "ZipBomb.h"

#include <QFile>
#include <QtEndian>
#include <stdexcept>
#include <zlib.h>

namespace {

class RawDeflate {
  public:
    RawDeflate() {
        if (deflateInit2(&z_, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2");
    }
    ~RawDeflate() { deflateEnd(&z_); }
    QByteArray take(const QByteArray& in, int flush) {
        QByteArray out;
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        z_.avail_in = uInt(in.size());
        do {
            char buffer[65536];
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = sizeof buffer;
            deflate(&z_, flush);
            out.append(buffer, qsizetype(sizeof buffer - z_.avail_out));
        } while (z_.avail_out == 0);
        return out;
    }

  private:
    z_stream z_{};
};

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

void writeZipBomb(const QString& path, const std::vector<BombPart>& parts) {
    QByteArray file, directory;
    for (const BombPart& part : parts) {
        // A unit longer than the window lets its compressed form repeat; what does not divide
        // into the longer units goes before the tail.
        const qint64 times =
            part.unit.isEmpty() ? 1 : (65536 + part.unit.size() - 1) / part.unit.size();
        const QByteArray unit = part.unit.repeated(times);
        const qint64 repeats = part.unit.isEmpty() ? 0 : part.repeats / times;
        const QByteArray tailText =
            part.unit.repeated(part.unit.isEmpty() ? 0 : part.repeats % times) + part.tail;
        RawDeflate deflater;
        QByteArray data = deflater.take(part.head, Z_SYNC_FLUSH);
        uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(part.head.constData()), uInt(part.head.size()));
        qint64 size = part.head.size();
        if (repeats > 0) {
            data += deflater.take(unit, Z_SYNC_FLUSH);
            const QByteArray again = deflater.take(unit, Z_SYNC_FLUSH);
            const uLong unitCrc =
                crc32(0, reinterpret_cast<const Bytef*>(unit.constData()), uInt(unit.size()));
            crc = crc32_combine(crc, unitCrc, unit.size());
            for (qint64 i = 1; i < repeats; ++i) {
                data += again;
                crc = crc32_combine(crc, unitCrc, unit.size());
            }
            size += unit.size() * repeats;
        }
        data += deflater.take(tailText, Z_FINISH);
        crc = crc32_combine(
            crc,
            crc32(0, reinterpret_cast<const Bytef*>(tailText.constData()), uInt(tailText.size())),
            tailText.size());
        size += tailText.size();
        const quint32 declared = quint32(part.declaredSize >= 0 ? part.declaredSize : size);
        const quint32 offset = quint32(file.size());
        auto header = [&](QByteArray& out, bool central) {
            put32(out, central ? 0x02014b50 : 0x04034b50);
            if (central)
                put16(out, 20);
            put16(out, 20);
            put16(out, 0);
            put16(out, 8);
            put16(out, 0);
            put16(out, 0x21);
            put32(out, quint32(crc));
            put32(out, quint32(data.size()));
            put32(out, declared);
            put16(out, quint16(part.name.size()));
            put16(out, 0);
            if (central) {
                put16(out, 0);
                put16(out, 0);
                put16(out, 0);
                put32(out, 0);
                put32(out, offset);
            }
            out += part.name;
        };
        header(file, false);
        file += data;
        header(directory, true);
    }
    const quint32 directoryAt = quint32(file.size());
    file += directory;
    put32(file, 0x06054b50);
    put16(file, 0);
    put16(file, 0);
    put16(file, quint16(parts.size()));
    put16(file, quint16(parts.size()));
    put32(file, quint32(directory.size()));
    put32(file, directoryAt);
    put16(file, 0);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        throw std::runtime_error("cannot write the bomb");
}

std::vector<BombPart> plainWorkbookParts(const QByteArray& sheetXml,
                                         const QByteArray& sharedStringsXml) {
    const QByteArray ns = "http://schemas.openxmlformats.org/";
    std::vector<BombPart> parts = {
        {"xl/workbook.xml",
         "<workbook xmlns=\"" + ns + "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
             "officeDocument/2006/relationships\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
             "r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships xmlns=\"" + ns +
                                           "package/2006/relationships\"><Relationship Id=\"rId1\" "
                                           "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    if (!sharedStringsXml.isEmpty())
        parts.push_back({"xl/sharedStrings.xml", sharedStringsXml});
    return parts;
}
