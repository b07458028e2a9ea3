#include "output/XlsxReader.h"

#include "data/AppError.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cmath>
#include <zip.h>

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
constexpr qint64 kMaxPartBytes = 512LL * 1024 * 1024; // a part beyond this is not a list

// "AB12" -> 27 (columns counted from 0); -1 without letters.
int columnOfReference(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i)
        column = column * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
    return i == 0 ? -1 : column - 1;
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
    zip_file_t* sheet = nullptr;
    ~Archive() {
        if (sheet)
            zip_fclose(sheet);
        if (zip)
            zip_discard(zip);
    }
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

XlsxReader::XlsxReader(const QString& path, int sheet)
    : archive_(std::make_unique<Archive>()), fileName_(QFileInfo(path).fileName()) {
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
    zip_stat_t stat;
    if (zip_stat(archive_->zip, sheetEntry_.toUtf8().constData(), 0, &stat) != 0)
        damaged();
    sheetBytes_ = qint64(stat.size);
    archive_->sheet = zip_fopen(archive_->zip, sheetEntry_.toUtf8().constData(), 0);
    if (!archive_->sheet)
        damaged();
}

XlsxReader::~XlsxReader() = default;

void XlsxReader::damaged() const {
    throw AppError(QStringLiteral("文件 %1 不是完整的 .xlsx 工作簿（可能已损坏或不完整），"
                                  "不能导入。")
                       .arg(fileName_));
}

QByteArray XlsxReader::readEntry(const QString& name, bool required) const {
    const QByteArray entry = name.toUtf8();
    zip_stat_t stat;
    if (zip_stat(archive_->zip, entry.constData(), 0, &stat) != 0) {
        if (required)
            damaged();
        return {};
    }
    if (!(stat.valid & ZIP_STAT_SIZE) || qint64(stat.size) > kMaxPartBytes)
        damaged();
    zip_file_t* file = zip_fopen(archive_->zip, entry.constData(), 0);
    if (!file)
        damaged();
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t got = zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    if (got != zip_int64_t(stat.size))
        damaged();
    return bytes;
}

void XlsxReader::readSheetList(const QString& path, int sheet) {
    QHash<QString, QString> targets;
    QXmlStreamReader rels(readEntry(QStringLiteral("xl/_rels/workbook.xml.rels"), true));
    while (!rels.atEnd())
        if (rels.readNext() == QXmlStreamReader::StartElement && rels.name() == u"Relationship")
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           rels.attributes().value(QLatin1String("Target")).toString());
    QStringList entries;
    QXmlStreamReader book(readEntry(QStringLiteral("xl/workbook.xml"), true));
    while (!book.atEnd())
        if (book.readNext() == QXmlStreamReader::StartElement && book.name() == u"sheet") {
            sheetNames_ << book.attributes().value(QLatin1String("name")).toString();
            QString id;
            for (const QXmlStreamAttribute& a : book.attributes())
                if (a.name() == u"id")
                    id = a.value().toString();
            entries << joinPath(QStringLiteral("xl/"), targets.value(id));
        }
    if (book.hasError() || rels.hasError() || entries.isEmpty())
        damaged();
    if (sheet < 0 || sheet >= entries.size())
        throw AppError(QStringLiteral("文件 %1 没有第 %2 张工作表。").arg(path).arg(sheet + 1));
    sheetEntry_ = entries.at(sheet);
}

void XlsxReader::readSharedStrings() {
    QXmlStreamReader xml(readEntry(QStringLiteral("xl/sharedStrings.xml"), false));
    QString text;
    bool phonetic = false; // readings shown above East Asian text are not part of it
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"si")
                text.clear();
            else if (xml.name() == u"rPh")
                phonetic = true;
            else if (xml.name() == u"t" && !phonetic)
                text += xml.readElementText();
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == u"si")
                sharedStrings_ << decodedText(text);
            else if (xml.name() == u"rPh")
                phonetic = false;
        }
    }
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        damaged();
}

void XlsxReader::readStyles() {
    QXmlStreamReader xml(readEntry(QStringLiteral("xl/styles.xml"), false));
    QHash<int, QString> codes;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
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

bool XlsxReader::readToken() {
    for (;;) {
        xml_.readNext();
        if (xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            QByteArray chunk(kChunkBytes, Qt::Uninitialized);
            const zip_int64_t got = zip_fread(archive_->sheet, chunk.data(), kChunkBytes);
            if (got < 0)
                damaged();
            if (got == 0)
                return false;
            chunk.truncate(qsizetype(got));
            fed_ += got;
            xml_.addData(chunk);
            continue;
        }
        if (xml_.hasError())
            damaged();
        return !xml_.atEnd();
    }
}

QVariant XlsxReader::cellValue(const QString& type, int style, const QString& text) const {
    if (type == u"s") {
        bool ok = false;
        const int index = text.toInt(&ok);
        if (!ok || index < 0 || index >= sharedStrings_.size())
            damaged();
        return sharedStrings_.at(index);
    }
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

bool XlsxReader::next(QVariantList& cells) {
    cells.clear();
    bool inRow = false;
    bool inText = false;   // within a cell's <v> or <t>
    bool phonetic = false; // within a reading shown above East Asian text
    QString type;
    QString text;
    int style = -1;
    int column = -1;
    while (readToken()) {
        if (xml_.isStartElement()) {
            const auto name = xml_.name();
            if (name == u"row") {
                inRow = true;
                cells.clear();
                const qint64 r = xml_.attributes().value(QLatin1String("r")).toLongLong();
                rowNumber_ = r > 0 ? r : rowNumber_ + 1;
            } else if (name == u"c" && inRow) {
                const auto a = xml_.attributes();
                type = a.value(QLatin1String("t")).toString();
                style =
                    a.hasAttribute(QLatin1String("s")) ? a.value(QLatin1String("s")).toInt() : -1;
                const int ref = columnOfReference(a.value(QLatin1String("r")));
                column = ref >= 0 ? ref : int(cells.size());
                text.clear();
            } else if (name == u"v" || name == u"t") {
                inText = inRow && !phonetic;
            } else if (name == u"rPh") {
                phonetic = true;
            }
        } else if (xml_.isCharacters() && inText) {
            text += xml_.text();
        } else if (xml_.isEndElement()) {
            const auto name = xml_.name();
            if (name == u"v" || name == u"t") {
                inText = false;
            } else if (name == u"rPh") {
                phonetic = false;
            } else if (name == u"c" && inRow && column >= 0) {
                if (column >= 16384)
                    damaged();
                while (cells.size() <= column)
                    cells << QString();
                cells[column] = text.isEmpty() && type != u"s" ? QVariant(QString())
                                                               : cellValue(type, style, text);
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
