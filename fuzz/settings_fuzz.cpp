// The settings file over any bytes: reads never fail, a write that is taken reads back, and
// only the line of that key (or the lines it adds) differ afterwards.

#include "FuzzInput.h"

#include "data/AppError.h"
#include "data/SettingsFile.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>

namespace {

const std::initializer_list<const char*> kFilePieces = {
    "[",        "]",    "=",   ";", "\n", "\r\n",   "\r",     " ",    "\t", "\"", "'",
    "a",        "A",    "b",   "k", "K",  "Config", "DBConn", "0x1F", "-7", "中", "\xEF\xBB\xBF",
    "\xB6\xD4", "\xFF", "\x00"};
const std::initializer_list<const char*> kNamePieces = {"a", "A",  "b", "k", "K",
                                                        " ", "中", "]", "=", "Config"};
const std::initializer_list<const char*> kValuePieces = {"v", "1",   "0x", "中文", " x ",
                                                         "=", "[s]", ";",  "/",    "é"};

QString name(FuzzInput& in) {
    return QString::fromUtf8(in.pieces(kNamePieces, 3));
}

QList<QByteArray> lines(const QByteArray& bytes) {
    return bytes.split('\n');
}

// At most one line of the old file changed and at most three came in, all in one place: a
// new section and key, and the break an unterminated last line gains.
bool changedInOnePlace(const QByteArray& before, const QByteArray& after) {
    const QList<QByteArray> a = lines(before), b = lines(after);
    qsizetype head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    return a.size() - head - tail <= 1 && b.size() - head - tail <= 4;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    FuzzInput in(data, size);
    const QByteArray contents = (in.byte() & 1) ? in.rawUntilZero() : in.pieces(kFilePieces, 60);
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "temp file");
        file.write(contents);
    }
    SettingsFile ini(path);
    for (int i = in.below(4); i > 0; --i) {
        const QString section = name(in), key = name(in);
        ini.ReadString(section, key, "def");
        ini.ReadInteger(section, key, 5);
    }

    const QString section = name(in), key = name(in);
    const QString value = QString::fromUtf8(in.pieces(kValuePieces, 5)).trimmed();
    try {
        ini.WriteString(section, key, value);
    } catch (const AppError&) {
        const bool refusable =
            section.contains(']') || key.contains('=') || key.trimmed().isEmpty();
        FUZZ_CHECK(refusable, "a plain write was refused: [" + section + "] " + key);
        FUZZ_CHECK(readAll(path) == contents, "a refused write changed the file");
        return 0;
    }
    const QByteArray after = readAll(path);
    FUZZ_CHECK(ini.ReadString(section, key, "def") == value,
               QString("[%1] %2=%3 read back as %4")
                   .arg(section, key, value, ini.ReadString(section, key, "def")));
    FUZZ_CHECK(changedInOnePlace(contents, after),
               QString("lines other than the key's changed: %1 became %2")
                   .arg(QString::fromUtf8(contents.toPercentEncoding()),
                        QString::fromUtf8(after.toPercentEncoding())));
    return 0;
}
