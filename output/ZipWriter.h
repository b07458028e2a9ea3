#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

// Writes a zip archive of deflated entries, one entry open at a time, onto a seekable device.
// Each entry's sizes are patched into its header once known, so no data descriptors or
// 64-bit extensions appear: the plainest form every reader takes. Throws AppError.
class ZipWriter {
  public:
    ZipWriter(QIODevice& device, QString shownPath);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void beginEntry(const QByteArray& name);
    void append(const char* data, size_t size);
    void endEntry();
    void addEntry(const QByteArray& name, const QByteArray& bytes);
    // Writes the central directory; the device then holds the whole archive.
    void finish();

  private:
    struct Entry {
        QByteArray name;
        uint32_t crc = 0;
        uint64_t packed = 0, size = 0, offset = 0;
    };
    struct Deflater;

    void deflateInput(bool last);
    void writeLocalHeader(const Entry& entry);
    void writeBytes(const QByteArray& bytes);
    [[noreturn]] void fail(const QString& reason) const;

    QIODevice& device_;
    QString shownPath_;
    std::unique_ptr<Deflater> deflater_;
    std::vector<Entry> entries_;
    uint16_t dosTime_ = 0, dosDate_ = 0;
    uint64_t written_ = 0;
};
