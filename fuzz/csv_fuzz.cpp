// The CSV reader over any bytes in any encoding: it reads rows or refuses the file in words,
// never crashes, and never hands on a NUL, half a surrogate pair or a row past its limit.
// Rows it is given in RFC 4180 form come back field for field, with their lines.

#include "FuzzInput.h"

#include "data/AppError.h"
#include "output/CsvGuard.h"
#include "output/CsvReader.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace {

constexpr qsizetype kMaxChars = 4096;

const std::initializer_list<const char*> kFieldPieces = {
    "a", "Z", "0", " ", "中", "é", "😀", "\"", ",", ";", "\t", "\r\n", "\n", "\r", "''", "="};
const std::initializer_list<const char*> kRawPieces = {
    "a",  ",",    ";",    "\t",   "\"",       "\r\n",     "\n",           "\r",
    "中", "\xFF", "\x80", "\xC3", "\xBF\xCD", "\x81\x30", "\xED\xA0\x80", "\xEF\xBB\xBF"};

QString writePath() {
    static QTemporaryDir dir;
    return dir.filePath("fuzz.csv");
}

// A new file each time: truncating one makes the file system flush it, a hundredfold slower.
void writeFile(const QByteArray& bytes) {
    QFile::remove(writePath());
    QFile file(writePath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly), "temp file");
    file.write(bytes);
}

struct Read {
    QList<QVariantList> rows;
    QList<qint64> lines;
    QString refused;
};

Read readAll(const CsvOptions& options) {
    Read out;
    try {
        CsvReader reader(writePath(), options);
        QVariantList cells;
        while (reader.next(cells)) {
            qsizetype chars = 0;
            for (const QVariant& cell : cells) {
                const QString text = cell.toString();
                chars += text.size();
                FUZZ_CHECK(!text.contains(QChar(0)), "a NUL was handed on");
                for (qsizetype i = 0; i < text.size(); ++i) {
                    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() &&
                                      text[i + 1].isLowSurrogate();
                    FUZZ_CHECK(pair || !text[i].isSurrogate(), "half a surrogate pair");
                    i += pair;
                }
            }
            FUZZ_CHECK(chars <= kMaxChars, "a row past the limit");
            FUZZ_CHECK(out.lines.isEmpty() || reader.line() > out.lines.last(), "line order");
            out.rows << cells;
            out.lines << reader.line();
        }
    } catch (const AppError& e) {
        FUZZ_CHECK(!e.text().isEmpty(), "a refusal without words");
        out.refused = e.text();
    }
    return out;
}

// As the export writes a cell: guarded against formulas, then quoted where it must be.
QByteArray quoted(const QString& plain, QChar separator) {
    const QString field = guardedCsvText(plain);
    if (!field.contains(separator) && !field.contains(u'"') && !field.contains(u'\r') &&
        !field.contains(u'\n'))
        return field.toUtf8();
    return "\"" + QString(field).replace(u'"', QStringLiteral("\"\"")).toUtf8() + "\"";
}

qint64 breaks(const QString& text) {
    return text.count(u'\n') + text.count(u'\r') - text.count(QStringLiteral("\r\n"));
}

void roundTrip(FuzzInput& in) {
    static const QChar separators[] = {u',', u';', u'\t'};
    const QChar separator = separators[in.below(3)];
    const TextEncoding encoding = TextEncoding(1 + in.below(3));
    const QString end = in.byte() & 1 ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    QList<QStringList> expected;
    QList<qint64> lines;
    qint64 line = 1;
    for (int r = in.below(6); r > 0 && !in.empty(); --r) {
        QStringList fields;
        QByteArray row;
        for (int f = 1 + in.below(4); f > 0; --f) {
            fields << QString::fromUtf8(in.pieces(kFieldPieces, 6));
            row += quoted(fields.last(), separator) + QString(separator).toUtf8();
        }
        row.chop(1);
        const QString rowText = QString::fromUtf8(row);
        text += rowText + end;
        // A row of empty fields is passed over, as spreadsheets save their empty rows.
        if (!fields.join(QString()).isEmpty()) {
            expected << fields;
            lines << line;
        }
        line += breaks(rowText) + 1;
    }
    QByteArray bytes;
    switch (encoding) {
    case TextEncoding::Utf16:
        bytes = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                    .encode(text);
        break;
    case TextEncoding::Gb18030:
        bytes = QStringEncoder("GB18030").encode(text);
        break;
    default:
        bytes = text.toUtf8();
    }
    if (bytes.isEmpty())
        return;
    writeFile(bytes);
    CsvOptions options;
    options.encoding = encoding;
    options.separator = separator;
    options.maxRecordChars = kMaxChars;
    const Read read = readAll(options);
    FUZZ_CHECK(read.refused.isEmpty(), "a well-formed file was refused: " + read.refused);
    FUZZ_CHECK(read.rows.size() == expected.size(),
               QString("%1 rows came back for %2").arg(read.rows.size()).arg(expected.size()));
    for (qsizetype r = 0; r < expected.size(); ++r) {
        QStringList got;
        for (const QVariant& cell : read.rows[r])
            got << cell.toString();
        FUZZ_CHECK(got == expected[r], QString("row %1: [%2] came back as [%3]")
                                           .arg(r)
                                           .arg(expected[r].join(u'|'), got.join(u'|')));
        FUZZ_CHECK(read.lines[r] == lines[r],
                   QString("row %1 on line %2, not %3").arg(r).arg(read.lines[r]).arg(lines[r]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int mode = in.below(3);
    if (mode == 0) {
        roundTrip(in);
        return 0;
    }
    const int encoding = in.below(4);
    QByteArray bytes = mode == 1 ? in.rawUntilZero() : in.pieces(kRawPieces, 200);
    if (mode == 1 && !in.empty())
        bytes += '\0' + in.rawUntilZero(); // a NUL somewhere inside
    writeFile(bytes);
    CsvOptions options;
    options.encoding = TextEncoding(encoding);
    options.maxRecordChars = kMaxChars;
    readAll(options);
    return 0;
}
