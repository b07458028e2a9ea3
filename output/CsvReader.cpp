#include "output/CsvReader.h"

#include "data/AppError.h"
#include "output/CsvGuard.h"

#include <QFileInfo>
#include <array>

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
constexpr qint64 kSampleBytes = 64 * 1024;

QString encodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16:
        return QStringLiteral("UTF-16");
    case TextEncoding::Gb18030:
        return QStringLiteral("GBK/GB18030");
    default:
        return QStringLiteral("UTF-8");
    }
}

QStringDecoder decoderFor(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16:
        return QStringDecoder(QStringConverter::Utf16);
    case TextEncoding::Gb18030:
        return QStringDecoder("GB18030");
    default:
        return QStringDecoder(QStringConverter::Utf8);
    }
}

// Valid UTF-8 throughout, allowing a sequence cut short by the sample's end.
bool isUtf8(QByteArrayView bytes, bool cutShort) {
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = uchar(bytes[i]);
        const int extra = b < 0x80           ? 0
                          : (b >> 5) == 0x6  ? 1
                          : (b >> 4) == 0xE  ? 2
                          : (b >> 3) == 0x1E ? 3
                                             : -1;
        if (extra < 0 || (b >= 0xC0 && b < 0xC2))
            return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= bytes.size())
                return cutShort;
            if ((uchar(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

// Texts that the export guarded against spreadsheets' formulas, as they were.
bool unguardCells(QVariantList& cells) {
    for (QVariant& cell : cells)
        if (cell.toString().startsWith(u'\''))
            cell = unguardedCsvText(cell.toString());
    return true;
}

} // namespace

TextEncoding detectEncoding(QByteArrayView sample) {
    if (sample.startsWith("\xEF\xBB\xBF"))
        return TextEncoding::Utf8;
    if (sample.startsWith("\xFF\xFE") || sample.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16;
    return isUtf8(sample, sample.size() >= kSampleBytes) ? TextEncoding::Utf8
                                                         : TextEncoding::Gb18030;
}

QChar detectSeparator(QStringView text) {
    constexpr std::array<char16_t, 3> candidates{u',', u';', u'\t'};
    std::array<int, 3> counts{};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted)
            for (size_t k = 0; k < candidates.size(); ++k)
                counts[k] += c == candidates[k];
    }
    size_t best = 0;
    for (size_t k = 1; k < candidates.size(); ++k)
        if (counts[k] > counts[best])
            best = k;
    return QChar(candidates[best]);
}

CsvReader::CsvReader(const QString& path, const CsvOptions& options)
    : file_(path), options_(options) {
    if (!file_.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("不能打开文件 %1: %2").arg(path, file_.errorString()));
    const QByteArray sample = file_.peek(kSampleBytes);
    if (sample.isEmpty())
        throw AppError(QStringLiteral("文件是空的，没有可导入的客户。"));
    encoding_ =
        options_.encoding == TextEncoding::Detect ? detectEncoding(sample) : options_.encoding;
    if (encoding_ != TextEncoding::Utf16 && sample.contains('\0'))
        throw AppError(
            QStringLiteral("文件 %1 不是文本文件，不能导入。").arg(QFileInfo(path).fileName()));
    decoder_ = decoderFor(encoding_);
    if (!decoder_.isValid())
        throw AppError(QStringLiteral("本机不能读 %1 编码的文件。").arg(encodingName(encoding_)));
    fill();
    separator_ = options_.separator.isNull() ? detectSeparator(text_) : options_.separator;
}

bool CsvReader::fill() {
    if (atEnd_)
        return false;
    const QByteArray bytes = file_.read(kChunkBytes);
    if (bytes.isEmpty()) {
        atEnd_ = true;
        return false;
    }
    text_ = text_.sliced(at_) + decoder_.decode(bytes);
    at_ = 0;
    if (decoder_.hasError())
        fail(QStringLiteral("第 %1 行起的文字不是 %2 编码，文件可能混用了几种编码；"
                            "请在导入窗口中选择文件的编码。")
                 .arg(lineNo_)
                 .arg(encodingName(encoding_)));
    return true;
}

void CsvReader::fail(const QString& what) const {
    throw AppError(what);
}

// Takes the plain run up to the next character that means something in one piece.
void CsvReader::appendRun(QString& field, qsizetype& chars, QChar stop1, QChar stop2) {
    qsizetype end = at_;
    while (end < text_.size() && end - at_ < options_.maxRecordChars) {
        const QChar d = text_.at(end);
        if (d == stop1 || d == stop2 || d == u'\r' || d == u'\n')
            break;
        ++end;
    }
    field += QStringView(text_).sliced(at_, end - at_);
    chars += end - at_;
    at_ = end;
}

// Rows of empty fields only (",,," as spreadsheets save their empty rows) are passed over too.
bool CsvReader::next(QVariantList& cells) {
    while (readRecord(cells))
        for (const QVariant& cell : cells)
            if (!cell.toString().isEmpty())
                return unguardCells(cells);
    return false;
}

bool CsvReader::readRecord(QVariantList& cells) {
    cells.clear();
    QString field;
    bool quoted = false;
    bool started = false; // the record has a separator or a quote, so it is not blank
    qsizetype chars = 0;
    recordLine_ = lineNo_;
    const auto peek = [this]() -> QChar {
        if (at_ >= text_.size() && !fill())
            return {};
        return text_.at(at_);
    };
    for (;;) {
        if (at_ >= text_.size() && !fill()) {
            if (quoted)
                fail(QStringLiteral("第 %1 行的引号没有结束，文件可能不完整。").arg(recordLine_));
            if (!started && field.isEmpty())
                return false;
            cells << field;
            return true;
        }
        const QChar c = text_.at(at_++);
        if (++chars > options_.maxRecordChars)
            fail(QStringLiteral("第 %1 行超过 %2 个字符，太长了，文件不能导入。")
                     .arg(recordLine_)
                     .arg(options_.maxRecordChars));
        if (quoted) {
            if (c == u'"') {
                if (peek() == u'"')
                    field += text_.at(at_++);
                else
                    quoted = false;
            } else if (c == u'\n' || c == u'\r') {
                if (c == u'\n' || peek() != u'\n')
                    ++lineNo_;
                field += c;
            } else {
                field += c;
                appendRun(field, chars, u'"', u'"');
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = started = true;
        } else if (c == separator_) {
            cells << std::exchange(field, {});
            started = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && peek() == u'\n')
                ++at_;
            ++lineNo_;
            if (started || !field.isEmpty()) {
                cells << field;
                return true;
            }
            recordLine_ = lineNo_; // a blank line: the record begins on the next
            chars = 0;
        } else {
            field += c;
            appendRun(field, chars, separator_, u'"');
        }
    }
}
