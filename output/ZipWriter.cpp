#include "output/ZipWriter.h"

#include "data/AppError.h"

#include <QDateTime>
#include <QIODevice>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <limits>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint16_t kVersion = 20; // deflate, no extensions
constexpr uint16_t kDeflated = 8;
constexpr qint64 kCrcOffset = 14; // where a local header's CRC and sizes start
constexpr int kOutBytes = 256 * 1024;

void put16(QByteArray& out, uint16_t value) {
    out += char(value & 0xFF);
    out += char(value >> 8);
}

void put32(QByteArray& out, uint32_t value) {
    put16(out, uint16_t(value & 0xFFFF));
    put16(out, uint16_t(value >> 16));
}

bool fits32(uint64_t value) {
    return value <= std::numeric_limits<uint32_t>::max();
}

} // namespace

struct ZipWriter::Deflater {
    isal_zstream stream{};
    std::unique_ptr<uint8_t[]> levelBuffer{new uint8_t[ISAL_DEF_LVL1_DEFAULT]};
    Entry entry;
    QByteArray out = QByteArray(kOutBytes, Qt::Uninitialized);

    Deflater() {
        isal_deflate_init(&stream); // raw deflate, as zip entries hold it
        // its fastest level packs this XML tighter than the general library's, in a fraction
        // of the time
        stream.level = 1;
        stream.level_buf = levelBuffer.get();
        stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    }
};

ZipWriter::ZipWriter(QIODevice& device, QString shownPath)
    : device_(device), shownPath_(std::move(shownPath)) {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    dosTime_ = uint16_t(t.hour() << 11 | t.minute() << 5 | t.second() / 2);
    dosDate_ = uint16_t(std::max(0, d.year() - 1980) << 9 | d.month() << 5 | d.day());
}

ZipWriter::~ZipWriter() = default;

void ZipWriter::beginEntry(const QByteArray& name) {
    deflater_ = std::make_unique<Deflater>();
    deflater_->entry.name = name;
    deflater_->entry.offset = written_;
    writeLocalHeader(deflater_->entry);
}

void ZipWriter::append(const char* data, size_t size) {
    Entry& entry = deflater_->entry;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    entry.crc = crc32_gzip_refl(entry.crc, bytes, size);
    entry.size += size;
    deflater_->stream.next_in = const_cast<uint8_t*>(bytes);
    deflater_->stream.avail_in = uint32_t(size);
    deflateInput(false);
}

void ZipWriter::deflateInput(bool last) {
    isal_zstream& stream = deflater_->stream;
    stream.end_of_stream = last;
    do {
        stream.next_out = reinterpret_cast<uint8_t*>(deflater_->out.data());
        stream.avail_out = kOutBytes;
        if (isal_deflate(&stream) != COMP_OK)
            fail(QStringLiteral("deflate failed"));
        const qsizetype produced = kOutBytes - qsizetype(stream.avail_out);
        deflater_->entry.packed += uint64_t(produced);
        writeBytes(QByteArray::fromRawData(deflater_->out.constData(), produced));
    } while (stream.avail_in > 0 || stream.avail_out == 0 ||
             (last && stream.internal_state.state != ZSTATE_END));
}

void ZipWriter::endEntry() {
    deflateInput(true);
    const Entry entry = deflater_->entry;
    deflater_.reset();
    if (!fits32(entry.size) || !fits32(entry.packed) || !fits32(written_))
        fail(QStringLiteral("The workbook is larger than 4 GB."));
    QByteArray sizes;
    put32(sizes, entry.crc);
    put32(sizes, uint32_t(entry.packed));
    put32(sizes, uint32_t(entry.size));
    if (!device_.seek(qint64(entry.offset) + kCrcOffset) || device_.write(sizes) != sizes.size() ||
        !device_.seek(qint64(written_)))
        fail(device_.errorString());
    entries_.push_back(entry);
}

void ZipWriter::addEntry(const QByteArray& name, const QByteArray& bytes) {
    beginEntry(name);
    append(bytes.constData(), size_t(bytes.size()));
    endEntry();
}

void ZipWriter::writeLocalHeader(const Entry& entry) {
    QByteArray header;
    put32(header, kLocalSignature);
    put16(header, kVersion);
    put16(header, 0);
    put16(header, kDeflated);
    put16(header, dosTime_);
    put16(header, dosDate_);
    put32(header, 0); // CRC and sizes: patched by endEntry()
    put32(header, 0);
    put32(header, 0);
    put16(header, uint16_t(entry.name.size()));
    put16(header, 0);
    writeBytes(header + entry.name);
}

void ZipWriter::finish() {
    const uint64_t directoryStart = written_;
    QByteArray directory;
    for (const Entry& entry : entries_) {
        put32(directory, kCentralSignature);
        put16(directory, kVersion);
        put16(directory, kVersion);
        put16(directory, 0);
        put16(directory, kDeflated);
        put16(directory, dosTime_);
        put16(directory, dosDate_);
        put32(directory, entry.crc);
        put32(directory, uint32_t(entry.packed));
        put32(directory, uint32_t(entry.size));
        put16(directory, uint16_t(entry.name.size()));
        put32(directory, 0); // extra and comment lengths
        put32(directory, 0); // disk number and internal attributes
        put32(directory, 0); // external attributes
        put32(directory, uint32_t(entry.offset));
        directory += entry.name;
    }
    writeBytes(directory);
    QByteArray end;
    put32(end, kEndSignature);
    put32(end, 0); // this disk, the directory's disk
    put16(end, uint16_t(entries_.size()));
    put16(end, uint16_t(entries_.size()));
    put32(end, uint32_t(written_ - directoryStart));
    put32(end, uint32_t(directoryStart));
    put16(end, 0);
    writeBytes(end);
}

void ZipWriter::writeBytes(const QByteArray& bytes) {
    if (device_.write(bytes) != bytes.size())
        fail(device_.errorString());
    written_ += uint64_t(bytes.size());
}

void ZipWriter::fail(const QString& reason) const {
    throw AppError(QStringLiteral("Cannot write file \"%1\". %2").arg(shownPath_, reason));
}
