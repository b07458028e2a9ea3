#include "Utf8Decoder.h"

const QString& Utf8Decoder::decode(std::string_view utf8) {
    const QByteArrayView bytes(utf8.data(), qsizetype(utf8.size()));
    buffer_.resize(decoder_.requiredSpace(bytes.size()));
    decoder_.resetState();
    const QChar* end = decoder_.appendToBuffer(buffer_.data(), bytes);
    if (decoder_.hasError()) // broken bytes take the usual way, so they are replaced alike
        buffer_ = QString::fromUtf8(bytes);
    else
        buffer_.truncate(end - buffer_.constData());
    return buffer_;
}
