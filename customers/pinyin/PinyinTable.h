#pragma once

// The Mandarin readings of the Han characters, generated at build time from the Unicode Han
// database. Readings are toneless lower-case syllables with ü written as v; a character's set of
// readings is stored once for all characters that share it.

#include <cstdint>

namespace PinyinData {
extern const char* const syllables[]; // sorted
extern const int syllableCount;
extern const uint16_t setStart[]; // set s holds setSyllables[setStart[s] .. setStart[s + 1])
extern const uint16_t setSyllables[];
extern const int setCount;
extern const char32_t hanCodes[]; // sorted code points that have a reading
extern const uint16_t hanSets[];  // the reading set of each of them
extern const int hanCount;
} // namespace PinyinData

// The reading set of a character, -1 when it has no reading.
int pinyinReadingSet(char32_t code);
