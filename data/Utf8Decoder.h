#pragma once

#include <QString>
#include <QStringDecoder>
#include <string_view>

// Decodes UTF-8 into one reused buffer, so that decoding text after text allocates nothing;
// each result is exactly what QString::fromUtf8 makes of the bytes.
class Utf8Decoder {
  public:
    // Valid until the next call.
    const QString& decode(std::string_view utf8);

  private:
    QStringDecoder decoder_{QStringConverter::Utf8, QStringConverter::Flag::Stateless};
    QString buffer_;
};
