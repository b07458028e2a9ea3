#include "data/SettingsFile.h"

#include "data/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cctype>
#include <optional>

namespace {

constexpr qsizetype maxValueLength = 2047;

// The blanks a profile read strips: spaces, tabs and other control characters.
bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArray trimBlanks(const QByteArray& bytes) {
    qsizetype begin = 0, end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.mid(begin, end - begin);
}

// A file edited on Linux is UTF-8; one carried over from the old installations is GBK.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk.decode(bytes);
    return QString::fromLatin1(bytes);
}

bool sameName(const QByteArray& stored, const QString& wanted) {
    return decode(trimBlanks(stored)).compare(wanted.trimmed(), Qt::CaseInsensitive) == 0;
}

// One line of the file, kept as its bytes so that untouched lines are written back unchanged.
struct Line {
    QByteArray bytes; // without its line break
    QByteArray lineBreak;

    QByteArray content() const { return trimBlanks(bytes); }
    std::optional<QByteArray> sectionName() const {
        const QByteArray text = content();
        const qsizetype close = text.lastIndexOf(']');
        if (!text.startsWith('[') || close < 0)
            return std::nullopt;
        return text.mid(1, close - 1);
    }
    bool isKey() const {
        const QByteArray text = content();
        return !text.startsWith(';') && !sectionName() && text.indexOf('=') > 0;
    }
    QByteArray keyName() const { return bytes.left(bytes.indexOf('=')); }
    QByteArray rawValue() const { return bytes.mid(bytes.indexOf('=') + 1); }
};

struct Document {
    bool bom = false;
    QList<Line> lines;
    QByteArray lineBreak = "\n"; // the style of the file, used for lines we add
    bool endsWithBreak = true;
};

Document parse(const QByteArray& data) {
    Document doc;
    doc.bom = data.startsWith("\xEF\xBB\xBF");
    qsizetype pos = doc.bom ? 3 : 0;
    if (data.contains("\r\n"))
        doc.lineBreak = "\r\n";
    while (pos < data.size()) {
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        Line line{data.mid(pos, end - pos), {}};
        if (end < data.size()) {
            const qsizetype breakLength =
                (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
            line.lineBreak = data.mid(end, breakLength);
            end += breakLength;
        }
        doc.lines << line;
        pos = end;
    }
    doc.endsWithBreak = doc.lines.isEmpty() || !doc.lines.last().lineBreak.isEmpty();
    return doc;
}

struct KeyPosition {
    qsizetype sectionLine = -1;       // the first section of that name
    qsizetype lastLineOfSection = -1; // its last line that is not blank
    qsizetype keyLine = -1;
};

// Where a key stands: the first line that names it in a section of that name. A new key goes
// at the end of the first such section.
KeyPosition locate(const Document& doc, const QString& section, const QString& key) {
    KeyPosition found;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        if (const auto name = line.sectionName()) {
            inSection = sameName(*name, section);
            inFirstSection = inSection && found.sectionLine < 0;
            if (inFirstSection)
                found.sectionLine = found.lastLineOfSection = i;
            continue;
        }
        if (inFirstSection && !line.content().isEmpty())
            found.lastLineOfSection = i;
        if (inSection && line.isKey() && sameName(line.keyName(), key)) {
            found.keyLine = i;
            return found;
        }
    }
    return found;
}

QString unquote(const QString& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

QString truncated(const QString& value) {
    if (value.size() <= maxValueLength)
        return value;
    qsizetype cut = maxValueLength;
    if (value[cut - 1].isHighSurrogate())
        --cut;
    return value.left(cut);
}

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString fullPath(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

[[noreturn]] void refuse(const QString& path) {
    throw AppError("Unable to write to " + fullPath(path));
}

// A line break inside a name or value would write keys nobody asked for.
void checkWritable(const QString& path, const QString& section, const QString& key,
                   const QString& value) {
    const auto hasBreak = [](const QString& s) { return s.contains('\n') || s.contains('\r'); };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value) || section.contains(']') ||
        key.contains('=') || key.trimmed().isEmpty())
        refuse(path);
}

bool allDigits(const QString& text, int base) {
    bool ok = !text.isEmpty();
    for (const QChar c : text)
        ok = ok && (base == 16 ? isxdigit(c.unicode()) : isdigit(c.unicode())) && c.unicode() < 128;
    return ok;
}

// Decimal with an optional minus, or hexadecimal after "0x" / "0X".
std::optional<int> parseInteger(const QString& text) {
    bool ok = false;
    int value = 0;
    if (text.startsWith("0x", Qt::CaseInsensitive)) {
        const QString digits = text.mid(2);
        value = static_cast<int>(digits.toUInt(&ok, 16));
        ok = ok && allDigits(digits, 16);
    } else {
        value = text.toInt(&ok, 10);
        ok = ok && allDigits(text.startsWith('-') ? text.mid(1) : text, 10);
    }
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& def) const {
    const auto data = readFile(path_);
    if (!data)
        return def;
    const Document doc = parse(*data);
    const KeyPosition at = locate(doc, section, key);
    if (at.keyLine < 0)
        return def;
    const QString value = decode(trimBlanks(doc.lines[at.keyLine].rawValue()));
    return truncated(unquote(value));
}

int SettingsFile::ReadInteger(const QString& section, const QString& key, int def) const {
    const auto value = parseInteger(ReadString(section, key, QString()));
    return value.value_or(def);
}

void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    checkWritable(path_, section, key, value);
    std::optional<QByteArray> data;
    if (QFileInfo::exists(path_)) {
        data = readFile(path_);
        if (!data) // rewriting a file we cannot read would lose its other settings
            refuse(path_);
    }
    Document doc = parse(data.value_or(QByteArray()));
    const KeyPosition at = locate(doc, section, key);
    const QByteArray br = doc.lineBreak;
    if (at.keyLine >= 0) {
        Line& line = doc.lines[at.keyLine];
        line.bytes = trimBlanks(line.keyName()) + '=' + value.toUtf8();
    } else {
        qsizetype insertAt = at.sectionLine < 0 ? doc.lines.size() : at.lastLineOfSection + 1;
        if (insertAt == doc.lines.size() && !doc.endsWithBreak)
            doc.lines.last().lineBreak = br;
        if (at.sectionLine < 0)
            doc.lines.insert(insertAt++, Line{'[' + section.toUtf8() + ']', br});
        doc.lines.insert(insertAt, Line{key.toUtf8() + '=' + value.toUtf8(), br});
    }

    QByteArray out = doc.bom ? "\xEF\xBB\xBF" : "";
    for (const Line& line : doc.lines)
        out += line.bytes + line.lineBreak;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        refuse(path_);
}

void SettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}
