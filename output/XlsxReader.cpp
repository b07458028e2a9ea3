#include "output/XlsxReader.h"

#include "data/AppError.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>
#include <cmath>
#include <zip.h>

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
constexpr qint64 kMiB = 1024 * 1024;
// What each part may unpack to: far beyond any real list, far below what hurts the machine.
constexpr qint64 kMaxSmallPartBytes = 16 * kMiB; // the workbook, its relationships, its styles
constexpr qint64 kMaxStringsBytes = 128 * kMiB;  // the shared texts, all kept at once
constexpr qint64 kMaxSheetBytes = 2048 * kMiB;   // the sheet, read as it streams
// Real sheets shrink some tenfold; a part that shrank past this is built to unpack as a bomb.
constexpr qint64 kMaxRatio = 100;
constexpr qint64 kRatioFloorBytes = 16 * kMiB; // below this, any ratio costs little
constexpr int kMaxDepth = 64;                  // real parts nest a handful of elements
constexpr qint64 kSheetMaxRows = 1048576;
constexpr int kSheetMaxColumns = 16384;

// "AB12" -> 27 (columns counted from 0); -1 without letters; -2 past the sheet's last
// column XFD.
int columnOfReference(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i) {
        const char16_t letter = ref[i].toUpper().unicode();
        if (i >= 3 || letter < u'A' || letter > u'Z')
            return -2;
        column = column * 26 + (letter - u'A' + 1);
    }
    if (column > kSheetMaxColumns)
        return -2;
    return i == 0 ? -1 : column - 1;
}

QString megabytes(qint64 bytes) {
    return QString::number((bytes + kMiB - 1) / kMiB);
}

// The value of four hex digits at text[i], or -1.
int hexCode(QStringView text, qsizetype i) {
    int code = 0;
    for (qsizetype k = i; k < i + 4; ++k) {
        const char16_t c = text[k].unicode();
        const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                          : c >= u'a' && c <= u'f' ? c - u'a' + 10
                          : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                   : -1;
        if (digit < 0)
            return -1;
        code = code * 16 + digit;
    }
    return code;
}

// Texts carry characters XML cannot hold as _xHHHH_; a literal one has its "_" so written.
QString decodedText(const QString& text) {
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code =
            i + 6 < text.size() && text[i] == u'_' && text[i + 1] == u'x' && text[i + 6] == u'_'
                ? hexCode(text, i + 2)
                : -1;
        if (code >= 0) {
            plain += QChar(char16_t(code));
            i += 6;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

QString joinPath(const QString& folder, const QString& target) {
    if (target.startsWith(u'/'))
        return target.mid(1);
    return folder + target;
}

} // namespace

struct XlsxReader::Archive {
    zip_t* zip = nullptr;
    ~Archive() {
        if (zip)
            zip_discard(zip);
    }
};

// One XML part, unpacked a chunk at a time into its XML reader. It never holds more than a
// token's worth: a part that unpacks past its limit, past the size it declares, into a token
// longer than a row may be, or nests deeper than any real part is refused as it is seen.
class XlsxReader::Part {
  public:
    // A part that is absent reads as empty unless required.
    Part(const XlsxReader& reader, const QString& name, qint64 limit, bool required)
        : reader_(reader), maxTokenBytes_(4 * qint64(reader.maxRowChars_) + kChunkBytes) {
        const QByteArray entry = name.toUtf8();
        zip_stat_t stat;
        if (zip_stat(reader.archive_->zip, entry.constData(), 0, &stat) != 0) {
            if (required)
                reader.damaged();
            return;
        }
        if ((stat.valid & (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) !=
            (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE))
            reader.damaged();
        size_ = qint64(std::min<zip_uint64_t>(stat.size, zip_uint64_t(1) << 62));
        const qint64 packed = qint64(std::min<zip_uint64_t>(stat.comp_size, zip_uint64_t(size_)));
        if (size_ > limit)
            throw AppError(QStringLiteral("文件 %1 不能导入：其中的 %2 解压后有 %3 MB，"
                                          "超过了 %4 MB 的上限。")
                               .arg(reader.fileName_, name, megabytes(size_), megabytes(limit)));
        if (size_ > kRatioFloorBytes && size_ / kMaxRatio > packed)
            throw AppError(QStringLiteral("文件 %1 不能导入：其中的 %2 从 %3 KB 解压成 %4 MB，"
                                          "远超正常的压缩比，像是有意构造的压缩炸弹。")
                               .arg(reader.fileName_, name)
                               .arg((packed + 1023) / 1024)
                               .arg(megabytes(size_)));
        file_ = zip_fopen(reader.archive_->zip, entry.constData(), 0);
        if (!file_)
            reader.damaged();
    }
    ~Part() {
        if (file_)
            zip_fclose(file_);
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // The next token; false at the end of the part. progress hears of each chunk unpacked.
    bool next(ReadProgress* progress = nullptr) {
        if (!file_)
            return false;
        for (;;) {
            const auto token = xml.readNext();
            if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                feed(progress);
                continue;
            }
            if (xml.hasError())
                reader_.damaged();
            pending_ = 0;
            if (token == QXmlStreamReader::StartElement && ++depth_ > kMaxDepth)
                reader_.damaged();
            if (token == QXmlStreamReader::EndElement)
                --depth_;
            return !xml.atEnd();
        }
    }
    qint64 unpacked() const { return unpacked_; }
    qint64 size() const { return size_; }

    QXmlStreamReader xml;

  private:
    void feed(ReadProgress* progress) {
        if (buffer_.isEmpty())
            buffer_.resize(kChunkBytes);
        const zip_int64_t got = zip_fread(file_, buffer_.data(), kChunkBytes);
        // A part that ends before its XML does, or unpacks past what it declared, is damaged.
        if (got <= 0 || unpacked_ + got > size_)
            reader_.damaged();
        unpacked_ += got;
        pending_ += got;
        if (pending_ > maxTokenBytes_)
            reader_.tooLong();
        xml.addData(QByteArray(buffer_.constData(), qsizetype(got)));
        if (progress)
            progress->tick(unpacked_);
    }

    const XlsxReader& reader_;
    zip_file_t* file_ = nullptr;
    QByteArray buffer_;
    qint64 size_ = 0;
    qint64 unpacked_ = 0;
    qint64 pending_ = 0; // unpacked since the last token: what the XML reader holds
    qint64 maxTokenBytes_;
    int depth_ = 0;
};

QDateTime dateFromSerial(double serial) {
    // Day 60 is the 29 February 1900 the format counts; days before it start a day later.
    const QDate base = serial < 61 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    qint64 days = qint64(std::floor(serial));
    qint64 msecs = std::llround((serial - double(days)) * 86400000.0);
    msecs = (msecs + 500) / 1000 * 1000; // to the whole second, as the cell shows it
    if (msecs >= 86400000) {
        ++days;
        msecs -= 86400000;
    }
    return QDateTime(base.addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs)), Qt::UTC);
}

bool isDateFormat(int numFmtId, const QString& formatCode) {
    if ((numFmtId >= 14 && numFmtId <= 22) || (numFmtId >= 27 && numFmtId <= 36) ||
        (numFmtId >= 45 && numFmtId <= 47) || (numFmtId >= 50 && numFmtId <= 58))
        return true;
    if (formatCode.isEmpty() || formatCode.compare(u"General", Qt::CaseInsensitive) == 0)
        return false;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < formatCode.size(); ++i) {
        const QChar c = formatCode[i].toLower();
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\')
            ++i; // an escaped character is shown, not a part of the date
        else if (c == u'[')
            bracket = true;
        else if (c == u']')
            bracket = false;
        else if (!bracket && (c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u's'))
            return true;
    }
    return false;
}

XlsxReader::XlsxReader(const QString& path, int sheet, WorkProgress* progress,
                       qsizetype maxRowChars)
    : archive_(std::make_unique<Archive>()), fileName_(QFileInfo(path).fileName()),
      progress_(progress), maxRowChars_(maxRowChars) {
    int error = 0;
    archive_->zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive_->zip) {
        if (!QFileInfo::exists(path))
            throw AppError(QStringLiteral("不能打开文件 %1: 文件不存在").arg(path));
        damaged();
    }
    readSheetList(path, sheet);
    readSharedStrings();
    readStyles();
    sheet_ = std::make_unique<Part>(*this, sheetEntry_, kMaxSheetBytes, true);
    progress_.restart(sheet_->size());
}

XlsxReader::~XlsxReader() = default;

qint64 XlsxReader::done() const {
    return sheet_->unpacked();
}

qint64 XlsxReader::total() const {
    return sheet_->size();
}

void XlsxReader::damaged() const {
    throw AppError(QStringLiteral("文件 %1 不是完整的 .xlsx 工作簿（可能已损坏或不完整），"
                                  "不能导入。")
                       .arg(fileName_));
}

void XlsxReader::tooLong() const {
    if (sheet_)
        throw AppError(QStringLiteral("第 %1 行超过 %2 个字符，太长了，文件不能导入。")
                           .arg(rowNumber_)
                           .arg(maxRowChars_));
    throw AppError(QStringLiteral("文件 %1 中有一段文字超过 %2 个字符，太长了，不能导入。")
                       .arg(fileName_)
                       .arg(maxRowChars_));
}

void XlsxReader::outsideSheet(QStringView reference) const {
    const QString where =
        reference.isEmpty()
            ? QStringLiteral("第 %1 行").arg(rowNumber_)
            : QStringLiteral("第 %1 行的单元格 %2 ").arg(rowNumber_).arg(reference.left(40));
    throw AppError(QStringLiteral("%1超出了工作表的范围（最多 %2 行、到 XFD 列），文件可能已损坏，"
                                  "不能导入。")
                       .arg(where)
                       .arg(kSheetMaxRows));
}

void XlsxReader::readSheetList(const QString& path, int sheet) {
    QHash<QString, QString> targets;
    Part relsPart(*this, QStringLiteral("xl/_rels/workbook.xml.rels"), kMaxSmallPartBytes, true);
    const QXmlStreamReader& rels = relsPart.xml;
    while (relsPart.next())
        if (rels.isStartElement() && rels.name() == u"Relationship")
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           rels.attributes().value(QLatin1String("Target")).toString());
    QStringList entries;
    Part bookPart(*this, QStringLiteral("xl/workbook.xml"), kMaxSmallPartBytes, true);
    const QXmlStreamReader& book = bookPart.xml;
    while (bookPart.next())
        if (book.isStartElement() && book.name() == u"sheet") {
            sheetNames_ << book.attributes().value(QLatin1String("name")).toString();
            QString id;
            for (const QXmlStreamAttribute& a : book.attributes())
                if (a.name() == u"id")
                    id = a.value().toString();
            entries << joinPath(QStringLiteral("xl/"), targets.value(id));
        }
    if (entries.isEmpty())
        damaged();
    if (sheet < 0 || sheet >= entries.size())
        throw AppError(QStringLiteral("文件 %1 没有第 %2 张工作表。").arg(path).arg(sheet + 1));
    sheetEntry_ = entries.at(sheet);
}

void XlsxReader::readSharedStrings() {
    Part part(*this, QStringLiteral("xl/sharedStrings.xml"), kMaxStringsBytes, false);
    const QXmlStreamReader& xml = part.xml;
    progress_.restart(part.size());
    QString text;
    bool inText = false;
    bool phonetic = false; // readings shown above East Asian text are not part of it
    while (part.next(&progress_)) {
        if (xml.isStartElement()) {
            if (xml.name() == u"si")
                text.clear();
            else if (xml.name() == u"rPh")
                phonetic = true;
            else if (xml.name() == u"t")
                inText = !phonetic;
        } else if (xml.isCharacters() && inText) {
            if (text.size() + xml.text().size() > maxRowChars_)
                tooLong();
            text += xml.text();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"t") {
                inText = false;
            } else if (xml.name() == u"si") {
                strings_ += decodedText(text);
                stringEnds_.push_back(quint32(strings_.size()));
            } else if (xml.name() == u"rPh") {
                phonetic = false;
            }
        }
    }
}

QString XlsxReader::sharedString(const QString& index) const {
    bool ok = false;
    const qint64 i = index.toLongLong(&ok);
    if (!ok || i < 0 || size_t(i) >= stringEnds_.size())
        damaged();
    const qsizetype start = i == 0 ? 0 : stringEnds_[size_t(i - 1)];
    return strings_.sliced(start, stringEnds_[size_t(i)] - start);
}

void XlsxReader::readStyles() {
    Part part(*this, QStringLiteral("xl/styles.xml"), kMaxSmallPartBytes, false);
    const QXmlStreamReader& xml = part.xml;
    QHash<int, QString> codes;
    bool inCellXfs = false;
    while (part.next()) {
        const auto token = xml.tokenType();
        if (token == QXmlStreamReader::StartElement) {
            const auto a = xml.attributes();
            if (xml.name() == u"numFmt")
                codes.insert(a.value(QLatin1String("numFmtId")).toInt(),
                             a.value(QLatin1String("formatCode")).toString());
            else if (xml.name() == u"cellXfs")
                inCellXfs = true;
            else if (xml.name() == u"xf" && inCellXfs) {
                const int id = a.value(QLatin1String("numFmtId")).toInt();
                dateStyles_.push_back(isDateFormat(id, codes.value(id)));
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    }
}

QVariant XlsxReader::cellValue(const QString& type, int style, const QString& text) const {
    if (type == u"s")
        return sharedString(text);
    if (type == u"str" || type == u"inlineStr")
        return decodedText(text);
    if (type == u"e")
        return text;
    if (type == u"b")
        return text == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type == u"d")
        return QDateTime::fromString(text, Qt::ISODate);
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok)
        return text;
    if (style >= 0 && size_t(style) < dateStyles_.size() && dateStyles_[size_t(style)])
        return dateFromSerial(number);
    return number;
}

void XlsxReader::startRow() {
    const QStringView r = sheet_->xml.attributes().value(QLatin1String("r"));
    bool ok = false;
    const qint64 number = r.toLongLong(&ok);
    rowNumber_ = ok && number > 0 ? number : rowNumber_ + 1;
    rowChars_ = 0;
    if (rowNumber_ > kSheetMaxRows)
        outsideSheet({});
}

// The column a cell names, or the next one when it names none.
int XlsxReader::cellColumn(qsizetype cellsSoFar) const {
    const QStringView r = sheet_->xml.attributes().value(QLatin1String("r"));
    const int column = columnOfReference(r);
    if (column == -2 || (column == -1 && cellsSoFar >= kSheetMaxColumns))
        outsideSheet(r.isEmpty() ? QStringLiteral("#%1").arg(cellsSoFar + 1) : r.toString());
    return column >= 0 ? column : int(cellsSoFar);
}

// Held characters of the row so far; a row longer than an import takes is refused at once.
void XlsxReader::countChars(qsizetype chars) {
    rowChars_ += chars;
    if (rowChars_ > maxRowChars_)
        tooLong();
}

bool XlsxReader::next(QVariantList& cells) {
    cells.clear();
    const QXmlStreamReader& xml = sheet_->xml;
    bool inRow = false;
    bool inText = false;   // within a cell's <v> or <t>
    bool phonetic = false; // within a reading shown above East Asian text
    QString type;
    QString text;
    int style = -1;
    int column = -1;
    while (sheet_->next(&progress_)) {
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"row") {
                inRow = true;
                cells.clear();
                startRow();
            } else if (name == u"c" && inRow) {
                const auto a = xml.attributes();
                type = a.value(QLatin1String("t")).toString();
                style =
                    a.hasAttribute(QLatin1String("s")) ? a.value(QLatin1String("s")).toInt() : -1;
                column = cellColumn(cells.size());
                text.clear();
            } else if (name == u"v" || name == u"t") {
                inText = inRow && !phonetic;
            } else if (name == u"rPh") {
                phonetic = true;
            }
        } else if (xml.isCharacters() && inText) {
            countChars(xml.text().size());
            text += xml.text();
        } else if (xml.isEndElement()) {
            const auto name = xml.name();
            if (name == u"v" || name == u"t") {
                inText = false;
            } else if (name == u"rPh") {
                phonetic = false;
            } else if (name == u"c" && inRow && column >= 0) {
                while (cells.size() <= column)
                    cells << QString();
                cells[column] = text.isEmpty() && type != u"s" ? QVariant(QString())
                                                               : cellValue(type, style, text);
                if (type == u"s")
                    countChars(cells[column].toString().size());
                column = -1;
            } else if (name == u"row") {
                inRow = false;
                for (const QVariant& v : cells)
                    if (v.typeId() != QMetaType::QString || !v.toString().isEmpty())
                        return true;
            }
        }
    }
    return false;
}
