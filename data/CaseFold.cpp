#include "CaseFold.h"

#include <QChar>
#include <algorithm>
#include <unordered_map>

char32_t foldCase(char32_t c) {
    if (c < 128)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

char32_t decodeUtf8(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80)
        return b;
    const int extra = b >= 0xF8 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra == 0 || end - p < extra)
        return b;
    char32_t c = b & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return b;
        c = (c << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed: C0 A5 is not a '%'.
    constexpr char32_t shortest[] = {0, 0x80, 0x800, 0x10000};
    if (c < shortest[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return b;
    p += extra;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

namespace {

// Folded code point -> every code point folding to it, for the folds that join two or more.
struct FoldClasses {
    std::unordered_map<char32_t, std::vector<char32_t>> members;
    FoldClasses() {
        for (char32_t c = 0; c <= 0x10FFFF; ++c)
            if (const char32_t f = foldCase(c); f != c) {
                auto& list = members[f];
                if (list.empty())
                    list.push_back(f);
                list.push_back(c);
            }
        for (auto& [folded, list] : members)
            std::sort(list.begin(), list.end());
    }
};

} // namespace

std::vector<char32_t> sameCaseFold(char32_t c) {
    static const FoldClasses classes; // built once, on first use
    const auto it = classes.members.find(foldCase(c));
    return it != classes.members.end() ? it->second : std::vector<char32_t>{c};
}

int compareFolded(std::string_view a, std::string_view b) {
    auto p = reinterpret_cast<const unsigned char*>(a.data());
    auto q = reinterpret_cast<const unsigned char*>(b.data());
    const auto pe = p + a.size(), qe = q + b.size();
    while (p < pe && q < qe) {
        const char32_t x = foldCase(decodeUtf8(p, pe)), y = foldCase(decodeUtf8(q, qe));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return (p < pe) - (q < qe);
}
