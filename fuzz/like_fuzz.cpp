// The LIKE matcher against a plain reference for patterns without sets: '%' any run, '_' one
// character, every other character itself without regard to case.

#include "FuzzInput.h"

#include "data/AppError.h"
#include "data/JetFunctions.h"

#include <QChar>
#include <QStringDecoder>
#include <vector>

namespace {

// Code points as the matcher reads them: a malformed byte stands for itself.
std::vector<char32_t> codePoints(const QByteArray& bytes) {
    std::vector<char32_t> out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p++;
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = b;
        if (b >= 0x80 && extra > 0 && end - p >= extra) {
            char32_t v = b & (0x3F >> extra);
            bool ok = true;
            for (int i = 0; i < extra && ok; ++i) {
                ok = (p[i] & 0xC0) == 0x80;
                v = (v << 6) | (p[i] & 0x3F);
            }
            if (ok) {
                c = v;
                p += extra;
            }
        }
        out.push_back(c);
    }
    return out;
}

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    return !utf8.hasError();
}

char32_t folded(char32_t c) {
    return QChar::toCaseFolded(c);
}

// Table of "pattern prefix i matches text prefix j".
bool referenceLike(const std::vector<char32_t>& pattern, const std::vector<char32_t>& text) {
    const size_t n = pattern.size(), m = text.size();
    std::vector<std::vector<bool>> match(n + 1, std::vector<bool>(m + 1, false));
    match[0][0] = true;
    for (size_t i = 1; i <= n; ++i) {
        const char32_t p = pattern[i - 1];
        for (size_t j = 0; j <= m; ++j) {
            if (p == '%')
                match[i][j] = match[i - 1][j] || (j > 0 && match[i][j - 1]);
            else if (j > 0)
                match[i][j] = match[i - 1][j - 1] && (p == '_' || folded(p) == folded(text[j - 1]));
        }
    }
    return match[n][m];
}

const std::initializer_list<const char*> kPatternPieces = {
    "%",    "_", "a",           "A", "b", "Z",  "z", "中", "文",   "É",        "é",
    "ß",    "[", "]",           "!", "-", "\\", "'", " ",  "\xC3", "\xE4\xB8", "\xF0\x9F\x98\x80",
    "\x80", "K", "\xE2\x84\xAA"};
const std::initializer_list<const char*> kTextPieces = {
    "a",    "A",  "b", "B",           "z", "中", "文",   "É",        "é",
    "ß",    "SS", "%", "_",           "[", " ",  "\xC3", "\xE4\xB8", "\xF0\x9F\x98\x80",
    "\x80", "k",  "K", "\xE2\x84\xAA"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const char32_t escape = (mode & 2) ? U'\\' : 0;
    QByteArray pattern, text;
    if (mode & 1) { // raw bytes, split at a zero byte
        pattern = in.rawUntilZero();
        text = in.rawUntilZero();
    } else {
        pattern = in.pieces(kPatternPieces, 12);
        text = in.pieces(kTextPieces, 16);
    }
    // The program's texts come from QString and are always valid UTF-8; other bytes need only
    // not crash the matcher.
    if (!validUtf8(pattern) || !validUtf8(text)) {
        try {
            jetLike({pattern.constData(), size_t(pattern.size())},
                    {text.constData(), size_t(text.size())}, escape);
        } catch (const AppError&) {
        }
        return 0;
    }
    bool matched;
    try {
        matched = jetLike({pattern.constData(), size_t(pattern.size())},
                          {text.constData(), size_t(text.size())}, escape);
    } catch (const AppError&) {
        FUZZ_CHECK(pattern.contains('['),
                   "refused without a set: " + QString::fromUtf8(pattern.toPercentEncoding()));
        return 0;
    }
    if (!pattern.contains('[') && !(escape && pattern.contains('\\')))
        FUZZ_CHECK(matched == referenceLike(codePoints(pattern), codePoints(text)),
                   QString("LIKE '%1' on '%2' gave %3")
                       .arg(QString::fromUtf8(pattern.toPercentEncoding()),
                            QString::fromUtf8(text.toPercentEncoding()))
                       .arg(matched));
    return 0;
}
