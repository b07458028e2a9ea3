#include "customers/pinyin/PinyinKeys.h"

#include "customers/pinyin/PinyinTable.h"

#include <QString>
#include <bit>

namespace {

struct Syllable {
    const char* text;
    uint8_t length;
    uint8_t initial; // letters of the initial a keyword may give alone: 2 for zh, ch, sh
};

// The reading sets unpacked once: their syllables and the letters they may start with.
struct Readings {
    std::vector<Syllable> syllables;
    std::vector<uint32_t> starts;       // per set: first of its syllables in syllables
    std::vector<uint32_t> firstLetters; // per set: bit per letter a reading begins with

    Readings() {
        std::vector<Syllable> table;
        for (int i = 0; i < PinyinData::syllableCount; ++i) {
            const std::string_view s = PinyinData::syllables[i];
            const bool twoLetters =
                s.size() > 1 && s[1] == 'h' && (s[0] == 'z' || s[0] == 'c' || s[0] == 's');
            table.push_back({s.data(), uint8_t(s.size()), uint8_t(twoLetters ? 2 : 1)});
        }
        for (int set = 0; set < PinyinData::setCount; ++set) {
            starts.push_back(uint32_t(syllables.size()));
            uint32_t letters = 0;
            for (int i = PinyinData::setStart[set]; i < PinyinData::setStart[set + 1]; ++i) {
                const Syllable& s = table[PinyinData::setSyllables[i]];
                syllables.push_back(s);
                letters |= 1u << (s.text[0] - 'a');
            }
            firstLetters.push_back(letters);
        }
        starts.push_back(uint32_t(syllables.size()));
    }
};

const Readings& readings() {
    static const Readings table;
    return table;
}

void putCode(unsigned code, std::vector<uint8_t>& keys) {
    if (code < 0x80) {
        keys.push_back(uint8_t(code));
        return;
    }
    keys.push_back(uint8_t(0x80 | (code >> 8)));
    keys.push_back(uint8_t(code & 0xFF));
}

// Calls visit for each code point of text; a lone surrogate stands for itself.
template <class Visit> void forEachCodePoint(QStringView text, Visit visit) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            visit(char32_t(c.unicode()));
        }
    }
}

bool isBlank(char32_t c) {
    return c < 0x10000 ? QChar(char16_t(c)).isSpace() : false;
}

// The keyword's ü may be typed u; the table writes it v.
bool sameLetter(char reading, char typed) {
    return reading == typed || (reading == 'v' && typed == 'u');
}

} // namespace

char pinyinLetter(char32_t c) {
    if (c >= 'a' && c <= 'z')
        return char(c);
    if (c >= 'A' && c <= 'Z')
        return char(c - 'A' + 'a');
    if (c >= 0xFF21 && c <= 0xFF3A)
        return char(c - 0xFF21 + 'a');
    if (c >= 0xFF41 && c <= 0xFF5A)
        return char(c - 0xFF41 + 'a');
    const bool accentedLatin = (c >= 0xC0 && c <= 0x24F) || (c >= 0x1E00 && c <= 0x1EFF);
    if (!accentedLatin)
        return 0;
    const QString base = QString(QChar(char16_t(c))).normalized(QString::NormalizationForm_D);
    const char letter = pinyinLetter(base[0].unicode());
    if (letter == 'u' && base.size() > 1 && base[1] == QChar(0x0308))
        return 'v';
    return base.size() > 1 ? letter : 0;
}

void appendPinyinKeys(QStringView text, std::vector<uint8_t>& keys) {
    bool afterBarrier = false;
    forEachCodePoint(text, [&](char32_t c) {
        unsigned code = PinyinCode::barrier;
        if (const char letter = pinyinLetter(c))
            code = PinyinCode::firstLetter + unsigned(letter - 'a');
        else if (const int set = pinyinReadingSet(c); set >= 0)
            code = PinyinCode::firstReadingSet + unsigned(set);
        else if (isBlank(c))
            return;
        if (code == PinyinCode::barrier && afterBarrier)
            return;
        afterBarrier = code == PinyinCode::barrier;
        putCode(code, keys);
    });
    keys.push_back(PinyinCode::rowEnd);
}

PinyinKeyword::PinyinKeyword(QStringView keyword) {
    bool lettersOnly = true;
    forEachCodePoint(keyword, [&](char32_t c) {
        if (const char letter = pinyinLetter(c))
            letters_ += letter;
        else if (!isBlank(c))
            lettersOnly = false;
        else if (!letters_.empty() && letters_.size() <= 63)
            blankAfter_ |= uint64_t(1) << (letters_.size() - 1);
    });
    length_ = int(letters_.size());
    usable_ = lettersOnly && length_ > 0 && length_ <= 63;
    if (!usable_)
        return;
    for (int j = 0; j < length_; ++j)
        letterAt_[letters_[size_t(j)] - 'a'] |= uint64_t(1) << j;
    const int first = letters_[0] - 'a';
    const std::vector<uint32_t>& setLetters = readings().firstLetters;
    starts_.assign(PinyinCode::firstReadingSet + setLetters.size(), 0);
    starts_[PinyinCode::firstLetter + unsigned(first)] = true;
    for (size_t set = 0; set < setLetters.size(); ++set)
        starts_[PinyinCode::firstReadingSet + set] = uint8_t(setLetters[set] >> first & 1);
}

// Where a syllable that starts at letter offset may end: after its initial, after the whole
// syllable, or at the keyword's end after a part of it. A syllable never spans a blank.
uint64_t PinyinKeyword::readingEnds(int offset, const char* syllable, int length,
                                    int initial) const {
    const int rest = length_ - offset;
    int same = 0;
    while (same < length && same < rest &&
           sameLetter(syllable[same], letters_[size_t(offset + same)]))
        ++same;
    if (same == 0)
        return 0;
    uint64_t ends = 0;
    auto end = [&](int taken, bool whole) {
        const uint64_t inside = ((uint64_t(1) << (taken - 1)) - 1) << offset;
        const bool cutByBlank = !whole && (blankAfter_ >> (offset + taken - 1) & 1);
        if (!(blankAfter_ & inside) && !cutByBlank)
            ends |= uint64_t(1) << (offset + taken);
    };
    end(1, true);
    if (initial == 2 && same >= 2)
        end(2, true);
    if (same == length)
        end(same, true);
    else if (same == rest)
        end(same, false);
    return ends;
}

// The letter offsets reached after one more character, from those reached before it.
uint64_t PinyinKeyword::step(uint64_t reached, unsigned code) const {
    if (code < PinyinCode::firstLetter)
        return 0;
    if (code < PinyinCode::firstReadingSet)
        return (reached & letterAt_[code - PinyinCode::firstLetter]) << 1;
    const Readings& table = readings();
    const unsigned set = code - PinyinCode::firstReadingSet;
    uint64_t next = 0;
    for (uint64_t left = reached; left; left &= left - 1) {
        const int offset = std::countr_zero(left);
        for (uint32_t i = table.starts[set]; i < table.starts[set + 1]; ++i) {
            const Syllable& s = table.syllables[i];
            next |= readingEnds(offset, s.text, s.length, s.initial);
        }
    }
    return next;
}

bool PinyinKeyword::matchRow(const uint8_t*& keys) const {
    const uint64_t goal = uint64_t(1) << length_;
    const uint8_t* starts = starts_.data();
    uint64_t reached = 0;
    for (;;) {
        unsigned code = *keys++;
        if (code == PinyinCode::rowEnd)
            return false;
        if (code & 0x80)
            code = ((code & 0x7F) << 8) | *keys++;
        if (reached == 0 && !starts[code])
            continue; // the common case: nothing under way and no start here
        reached = step(reached | 1, code) & (goal | (goal - 1));
        if (reached & goal)
            break;
    }
    skipRow(keys);
    return true;
}

// Moves keys past the end mark of the row they are in.
void PinyinKeyword::skipRow(const uint8_t*& keys) {
    for (unsigned code = *keys++; code != PinyinCode::rowEnd; code = *keys++)
        if (code & 0x80)
            ++keys;
}

bool pinyinContains(QStringView text, const PinyinKeyword& keyword) {
    std::vector<uint8_t> keys;
    appendPinyinKeys(text, keys);
    const uint8_t* at = keys.data();
    return keyword.matchRow(at);
}
