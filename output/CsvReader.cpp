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

QStringDecoder decoderFor(TextEncoding encoding, bool littleEndian, bool first) {
    // Each chunk ends where a character ends, so none carries state into the next; only the
    // file's first chunk may start with a byte-order mark that is not text.
    const auto flags =
        QStringConverter::Flag::Stateless |
        (first ? QStringConverter::Flag::Default : QStringConverter::Flag::ConvertInitialBom);
    switch (encoding) {
    case TextEncoding::Utf16:
        return QStringDecoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                              flags);
    case TextEncoding::Gb18030:
        return QStringDecoder("GB18030", flags);
    default:
        return QStringDecoder(QStringConverter::Utf8, flags);
    }
}

// Line breaks as the reader counts lines: CR LF, LF or CR. crBefore: the text before ended
// in CR, so a leading LF belongs to that break; updated to how this text ends.
qint64 lineBreaks(QStringView text, bool& crBefore) {
    qint64 count = 0;
    bool cr = crBefore;
    for (const QChar c : text) {
        if (c == u'\n')
            count += !cr;
        else if (c == u'\r')
            ++count;
        cr = c == u'\r';
    }
    crBefore = cr;
    return count;
}

// Where a lone half of a surrogate pair lies, which no encoding may produce; -1 for none.
qsizetype loneSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return -1;
}

// The end of the last whole character: after a byte that stands alone (in UTF-8 any below
// 0x80, in GB18030 any below 0x30) or, in UTF-16, before any unit but a pair's second half.
qsizetype lastCharacterEnd(const QByteArray& bytes, TextEncoding encoding, bool littleEndian) {
    if (encoding == TextEncoding::Utf16) {
        for (qsizetype end = bytes.size() & ~qsizetype(1); end >= 2; end -= 2) {
            const uchar high = uchar(bytes[end - (littleEndian ? 1 : 2)]);
            if ((high & 0xFC) != 0xD8) // the unit before is no pair's first half
                return end;
        }
        return 0;
    }
    const uchar alone = encoding == TextEncoding::Gb18030 ? 0x30 : 0x80;
    for (qsizetype end = bytes.size(); end > 0; --end)
        if (uchar(bytes[end - 1]) < alone)
            return end;
    return 0;
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

CsvReader::CsvReader(const QString& path, const CsvOptions& options, WorkProgress* progress)
    : file_(path), options_(options), progress_(progress) {
    if (!file_.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("不能打开文件 %1: %2").arg(path, file_.errorString()));
    progress_.restart(file_.size());
    const QByteArray sample = file_.peek(kSampleBytes);
    if (sample.isEmpty())
        throw AppError(QStringLiteral("文件是空的，没有可导入的客户。"));
    encoding_ =
        options_.encoding == TextEncoding::Detect ? detectEncoding(sample) : options_.encoding;
    if (encoding_ != TextEncoding::Utf16 && sample.contains('\0'))
        throw AppError(
            QStringLiteral("文件 %1 不是文本文件，不能导入。").arg(QFileInfo(path).fileName()));
    if (sample.startsWith("\xFE\xFF")) {
        littleEndian_ = false;
    } else if (!sample.startsWith("\xFF\xFE")) {
        // Without a mark, the zero bytes of Latin text show the order.
        qsizetype evenZeros = 0, oddZeros = 0;
        for (qsizetype i = 0; i < sample.size(); ++i)
            (i % 2 ? oddZeros : evenZeros) += sample[i] == '\0';
        littleEndian_ = oddZeros >= evenZeros;
    }
    if (!decoderFor(encoding_, littleEndian_, true).isValid())
        throw AppError(QStringLiteral("本机不能读 %1 编码的文件。").arg(encodingName(encoding_)));
    fill();
    separator_ = options_.separator.isNull() ? detectSeparator(text_) : options_.separator;
}

QByteArray CsvReader::nextBytes() {
    QByteArray bytes = std::exchange(undecoded_, {});
    for (;;) {
        const QByteArray more = file_.read(kChunkBytes);
        bytes += more;
        if (more.isEmpty() || file_.atEnd())
            return bytes; // the end of the file is the end of its last character
        const qsizetype end = lastCharacterEnd(bytes, encoding_, littleEndian_);
        if (end > 0) {
            undecoded_ = bytes.sliced(end);
            bytes.truncate(end);
            return bytes;
        }
        // No place to cut in all of it: one field runs on, and is refused once too long.
        if (bytes.size() / 4 > options_.maxRecordChars)
            fail(QStringLiteral("第 %1 行超过 %2 个字符，太长了，文件不能导入。")
                     .arg(lineNo_)
                     .arg(options_.maxRecordChars));
    }
}

// The end of the piece from at: after its next CR or LF, where a character always ends.
qsizetype CsvReader::pieceEnd(const QByteArray& bytes, qsizetype at) const {
    const qsizetype unit = encoding_ == TextEncoding::Utf16 ? 2 : 1;
    const qsizetype low = encoding_ == TextEncoding::Utf16 && !littleEndian_ ? 1 : 0;
    for (; at + unit <= bytes.size(); at += unit) {
        const char c = bytes[at + low];
        if ((c == '\r' || c == '\n') && (unit == 1 || bytes[at + 1 - low] == '\0'))
            return at + unit;
    }
    return bytes.size();
}

// The line of the first piece that does not decode; each piece decodes alone.
qint64 CsvReader::firstBadLine(const QByteArray& bytes) const {
    qint64 line = decodedBreaks_ + 1;
    bool cr = decodedEndsInCr_;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype end = pieceEnd(bytes, from);
        QStringDecoder decoder = decoderFor(encoding_, littleEndian_, firstChunk_ && from == 0);
        const QString piece = decoder.decode(QByteArrayView(bytes).sliced(from, end - from));
        if (decoder.hasError() || loneSurrogate(piece) >= 0)
            return line;
        line += lineBreaks(piece, cr);
        from = end;
    }
    return line;
}

void CsvReader::failEncoding(qint64 line) const {
    fail(QStringLiteral("第 %1 行有不是 %2 编码的文字，文件可能混用了几种编码或已损坏；"
                        "请在导入窗口中（命令行用 --encoding）选择文件的编码。")
             .arg(line)
             .arg(encodingName(encoding_)));
}

QString CsvReader::decode(const QByteArray& bytes) {
    QStringDecoder decoder = decoderFor(encoding_, littleEndian_, firstChunk_);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || loneSurrogate(text) >= 0)
        failEncoding(firstBadLine(bytes));
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) {
        bool cr = decodedEndsInCr_;
        fail(QStringLiteral("第 %1 行有空字符（NUL），文件不是文本文件或已损坏，不能导入。")
                 .arg(decodedBreaks_ + 1 + lineBreaks(QStringView(text).left(nul), cr)));
    }
    decodedBreaks_ += lineBreaks(text, decodedEndsInCr_);
    firstChunk_ = false;
    return text;
}

bool CsvReader::fill() {
    if (atEnd_)
        return false;
    const QByteArray bytes = nextBytes();
    if (bytes.isEmpty()) {
        atEnd_ = true;
        return false;
    }
    text_ = text_.sliced(at_) + decode(bytes);
    at_ = 0;
    progress_.tick(file_.pos());
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
