#pragma once

// Pinyin keys of a text and the keyword that is matched against them. A text becomes one code
// per character: a letter, the set of readings of a Han character, or a barrier for anything
// else (a run of them is one barrier); blanks are left out. Codes below 0x80 take one byte, the
// others two, so the keys of a text are never longer than its UTF-8 form plus its end mark.

#include <QStringView>
#include <cstdint>
#include <string>
#include <vector>

namespace PinyinCode {
constexpr unsigned rowEnd = 0;
constexpr unsigned barrier = 1;
constexpr unsigned firstLetter = 2;      // a..z
constexpr unsigned firstReadingSet = 28; // then one code per reading set
} // namespace PinyinCode

// The lower-case letter a character stands for: ASCII, full-width and accented forms alike, 'v'
// for ü; 0 for anything else.
char pinyinLetter(char32_t c);

// Appends the keys of one text and its end mark.
void appendPinyinKeys(QStringView text, std::vector<uint8_t>& keys);

// A keyword read as pinyin: letters, where a blank marks the end of a syllable. It matches a
// text when consecutive characters of the text spell it, each by a whole reading or its initial
// (b, zh, ...), the last one also by the start of a reading.
class PinyinKeyword {
  public:
    explicit PinyinKeyword(QStringView keyword);

    // Letters and blanks only, at least one letter and at most 63.
    bool usable() const { return usable_; }
    const std::string& letters() const { return letters_; }

    // Whether the keys of the row at keys match; moves keys past the row's end mark.
    bool matchRow(const uint8_t*& keys) const;

  private:
    uint64_t step(uint64_t reached, unsigned code) const;
    static void skipRow(const uint8_t*& keys);
    uint64_t readingEnds(int offset, const char* syllable, int length, int initial) const;

    bool usable_ = false;
    std::string letters_;
    int length_ = 0;
    uint64_t blankAfter_ = 0;     // bit j: a syllable ends after letter j
    uint64_t letterAt_[26] = {};  // bit j: letter j is this letter
    std::vector<uint8_t> starts_; // per code: the character may spell the first letter
};

// The keys of text match the keyword (the keyword must be usable).
bool pinyinContains(QStringView text, const PinyinKeyword& keyword);
