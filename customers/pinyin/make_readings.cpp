// Build tool: turns the Mandarin readings of the Unicode Han database (Unihan_Readings.txt, plain
// or bzip2-compressed) into the compiled reading table, tone marks dropped, ü written as v.
// A character reads as today's Chinese reads it: its readings in the modern standard
// dictionaries (kXHC1983, kTGHZ2013) and its most frequent reading (kMandarin). The historical
// dictionary (kHanyuPinyin), whose rare old readings would find surprising names, counts only
// for a character that none of those fields reads.
//
//   make_readings <Unihan_Readings.txt[.bz2]> <output.cpp>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <bzlib.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace {

QByteArray readBzip2(const QString& path) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return {};
    int error = BZ_OK;
    BZFILE* bz = BZ2_bzReadOpen(&error, file, 0, 0, nullptr, 0);
    QByteArray text;
    char buffer[1 << 16];
    while (error == BZ_OK) {
        const int n = BZ2_bzRead(&error, bz, buffer, sizeof buffer);
        if (error == BZ_OK || error == BZ_STREAM_END)
            text.append(buffer, n);
    }
    const bool complete = error == BZ_STREAM_END;
    BZ2_bzReadClose(&error, bz);
    std::fclose(file);
    return complete ? text : QByteArray();
}

QByteArray readSource(const QString& path) {
    if (path.endsWith(".bz2"))
        return readBzip2(path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "zhǎng" -> "zhang", "lǚ" -> "lv", "ê̄" -> "e"; empty when anything but a letter is left.
QString toneless(const QString& reading) {
    const QString decomposed = reading.normalized(QString::NormalizationForm_D).toLower();
    QString out;
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed[i];
        if (c == QChar(0x0308) && out.endsWith('u'))
            out.back() = 'v';
        else if (c.category() == QChar::Mark_NonSpacing)
            continue;
        else if (c >= 'a' && c <= 'z')
            out += c;
        else
            return {};
    }
    return out;
}

// Every reading a value names: "10019.020,10020.010:tiàn,tián" -> tiàn, tián.
QStringList readingsOf(const QString& value) {
    QStringList readings;
    for (const QString& entry : value.split(' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = entry.lastIndexOf(':');
        readings += entry.mid(colon + 1).split(',', Qt::SkipEmptyParts);
    }
    return readings;
}

struct Table {
    std::map<char32_t, std::set<QString>> readings;
    std::map<char32_t, std::set<QString>> historical; // kHanyuPinyin, for the rest
    int skipped = 0;

    void add(const QByteArray& line) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() < 3 || !parts[0].startsWith("U+"))
            return;
        const QByteArray& key = parts[1];
        const bool modern = key == "kMandarin" || key == "kXHC1983" || key == "kTGHZ2013";
        if (!modern && key != "kHanyuPinyin")
            return;
        bool ok = false;
        const auto code = char32_t(parts[0].mid(2).toUInt(&ok, 16));
        if (!ok)
            return;
        for (const QString& reading : readingsOf(QString::fromUtf8(parts[2]).trimmed())) {
            const QString syllable = toneless(reading);
            if (syllable.isEmpty())
                ++skipped;
            else
                (modern ? readings : historical)[code].insert(syllable);
        }
    }

    void keepHistoricalForTheRest() {
        for (const auto& [code, old] : historical)
            readings.try_emplace(code, old);
        historical.clear();
    }
};

QByteArray cString(const QString& s) {
    return '"' + s.toLatin1() + '"';
}

// Writes the arrays that PinyinTable.h declares; sets of readings shared by many characters
// are stored once.
bool write(const Table& table, const QString& path) {
    std::set<QString> all;
    for (const auto& [code, readings] : table.readings)
        all.insert(readings.begin(), readings.end());
    std::map<QString, int> syllableId;
    for (const QString& s : all)
        syllableId.emplace(s, int(syllableId.size()));

    std::map<std::vector<int>, int> setId;
    std::vector<std::vector<int>> sets;
    std::vector<std::pair<char32_t, int>> codes;
    for (const auto& [code, readings] : table.readings) {
        std::vector<int> ids;
        for (const QString& s : readings)
            ids.push_back(syllableId.at(s));
        auto [it, fresh] = setId.emplace(ids, int(sets.size()));
        if (fresh)
            sets.push_back(ids);
        codes.emplace_back(code, it->second);
    }

    QByteArray out = "// Generated at build time from Unihan_Readings.txt. Do not edit.\n"
                     "#include \"customers/pinyin/PinyinTable.h\"\n\nnamespace PinyinData {\n\n"
                     "const char* const syllables[] = {";
    for (const QString& s : all)
        out += cString(s) + ",";
    out += "};\nconst int syllableCount = " + QByteArray::number(int(all.size())) + ";\n\n";
    out += "const uint16_t setStart[] = {";
    int start = 0;
    for (const auto& ids : sets) {
        out += QByteArray::number(start) + ",";
        start += int(ids.size());
    }
    out += QByteArray::number(start) + "};\nconst uint16_t setSyllables[] = {";
    for (const auto& ids : sets)
        for (int id : ids)
            out += QByteArray::number(id) + ",";
    out += "};\nconst int setCount = " + QByteArray::number(int(sets.size())) + ";\n\n";
    out += "const char32_t hanCodes[] = {";
    for (const auto& [code, set] : codes)
        out += "0x" + QByteArray::number(uint(code), 16) + ",";
    out += "};\nconst uint16_t hanSets[] = {";
    for (const auto& [code, set] : codes)
        out += QByteArray::number(set) + ",";
    out += "};\nconst int hanCount = " + QByteArray::number(int(codes.size())) + ";\n\n}\n";

    std::printf("pinyin readings: %d characters, %d syllables, %d reading sets, %d skipped\n",
                int(codes.size()), int(all.size()), int(sets.size()), table.skipped);
    if (start > 0xFFFF || sets.size() > 0x7F00)
        return false; // the table's 16-bit indices would overflow
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <Unihan_Readings.txt[.bz2]> <output.cpp>\n", argv[0]);
        return 2;
    }
    const QByteArray source = readSource(QString::fromLocal8Bit(argv[1]));
    if (source.isEmpty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    Table table;
    for (const QByteArray& line : source.split('\n'))
        table.add(line);
    table.keepHistoricalForTheRest();
    if (table.readings.empty() || !write(table, QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot write the reading table %s\n", argv[2]);
        return 1;
    }
    return 0;
}
