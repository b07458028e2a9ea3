// Random cells through the worksheet writer, parsed back record by record: the same cells in
// the same places, framed by BOF and EOF.

#include "FuzzInput.h"

#include "grid/BiffWriter.h"

#include <QList>
#include <QStringDecoder>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <variant>
#include <vector>

namespace {

struct Blank {};
using Cell = std::variant<Blank, double, qint64, QString>;

// Pieces and what GBK keeps of them: a character it cannot hold reads back as '?'.
const char* const kTextPieces[][2] = {{"a", "a"},
                                      {"Z", "Z"},
                                      {"0", "0"},
                                      {" ", " "},
                                      {"中", "中"},
                                      {"文", "文"},
                                      {"，", "，"},
                                      {"é", "é"},
                                      {"'", "'"},
                                      {"\t", "\t"},
                                      {"\xF0\x9F\x98\x80", "?"}};

quint16 at16(const QByteArray& b, qsizetype i) {
    return qFromLittleEndian<quint16>(b.constData() + i);
}
quint32 at32(const QByteArray& b, qsizetype i) {
    return qFromLittleEndian<quint32>(b.constData() + i);
}

bool sameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Parsed {
    int row, column;
    Cell cell;
};

// The cell records between BOF and EOF.
std::vector<Parsed> parse(const QByteArray& b) {
    std::vector<Parsed> out;
    FUZZ_CHECK(b.size() >= 12 && at16(b, 0) == biff::kBof && at16(b, 2) == 8, "BOF");
    qsizetype i = 12;
    while (true) {
        FUZZ_CHECK(i + 4 <= b.size(), "records end before EOF");
        const quint16 type = at16(b, i), length = at16(b, i + 2);
        const qsizetype body = i + 4;
        FUZZ_CHECK(body + length <= b.size(), "record runs past the end");
        if (type == biff::kEof) {
            FUZZ_CHECK(length == 0 && body == b.size(), "EOF is last and empty");
            return out;
        }
        FUZZ_CHECK(length >= 6, "cell record too short");
        Parsed p{at16(b, body), at16(b, body + 2), Blank{}};
        if (type == biff::kLabel) {
            const quint16 n = at16(b, body + 6);
            FUZZ_CHECK(length == 8 + n, "LABEL length");
            p.cell = QStringDecoder("GBK").decode(b.mid(body + 8, n));
        } else if (type == biff::kNumber) {
            FUZZ_CHECK(length == 14, "NUMBER length");
            double v;
            const quint64 raw = quint64(at32(b, body + 6)) | (quint64(at32(b, body + 10)) << 32);
            std::memcpy(&v, &raw, sizeof v);
            p.cell = v;
        } else if (type == biff::kRk) {
            FUZZ_CHECK(length == 10, "RK length");
            const quint32 rk = at32(b, body + 6);
            FUZZ_CHECK((rk & 3) == 2, "RK holds a whole number, not divided");
            p.cell = qint64(qint32(rk) >> 2);
        } else {
            FUZZ_CHECK(type == biff::kBlank && length == 6, "unknown record");
        }
        out.push_back(p);
        i = body + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int columns = 1 + in.below(8);
    BiffWriter writer(columns);
    writer.bof();
    std::vector<Cell> expected;
    while (!in.empty() && expected.size() < 2000) {
        switch (in.below(5)) {
        case 0: {
            QByteArray text, kept;
            for (int n = in.below(21); n > 0; --n) {
                const auto& piece = kTextPieces[in.below(std::size(kTextPieces))];
                text += piece[0];
                kept += piece[1];
            }
            writer.label(QString::fromUtf8(text));
            expected.push_back(QString::fromUtf8(kept));
            break;
        }
        case 1: {
            double v;
            const quint64 raw = in.bits64();
            std::memcpy(&v, &raw, sizeof v);
            writer.number(v);
            expected.push_back(v);
            break;
        }
        case 2: { // whole numbers near the RK limits as well as anywhere
            const qint64 v = in.byte() & 1 ? qint64(in.bits64())
                                           : biff::kRkMax - 3 + in.below(8) -
                                                 (in.byte() & 1) * (2 * biff::kRkMax);
            writer.integer(v);
            if (v >= biff::kRkMin && v <= biff::kRkMax)
                expected.push_back(v);
            else
                expected.push_back(double(v));
            break;
        }
        case 3: {
            const qint32 v = qint32(biff::kRkMin +
                                    qint64(in.bits64() % quint64(biff::kRkMax - biff::kRkMin + 1)));
            writer.rk(v);
            expected.push_back(qint64(v));
            break;
        }
        default:
            writer.blank();
            expected.push_back(Blank{});
        }
    }
    writer.eof();

    const std::vector<Parsed> cells = parse(writer.bytes());
    FUZZ_CHECK(cells.size() == expected.size(), "cell count");
    for (size_t i = 0; i < cells.size(); ++i) {
        const Parsed& p = cells[i];
        FUZZ_CHECK(p.row == int(i) / columns && p.column == int(i) % columns, "cell place");
        const Cell& e = expected[i];
        FUZZ_CHECK(p.cell.index() == e.index(), QString("cell %1 kind").arg(i));
        if (const auto* d = std::get_if<double>(&e))
            FUZZ_CHECK(sameDouble(*d, std::get<double>(p.cell)), "number");
        else if (const auto* n = std::get_if<qint64>(&e))
            FUZZ_CHECK(*n == std::get<qint64>(p.cell), "whole number");
        else if (const auto* t = std::get_if<QString>(&e))
            FUZZ_CHECK(*t == std::get<QString>(p.cell),
                       QString("label '%1' read back as '%2'").arg(*t, std::get<QString>(p.cell)));
    }
    return 0;
}
