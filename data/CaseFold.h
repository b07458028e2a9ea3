#pragma once

// The one letter-case fold of the program: every comparison that ignores letter case (LIKE,
// "=" through StrComp, the search index's candidates) folds with these, so they never disagree.

#include <string>
#include <string_view>
#include <vector>

// Unicode simple case folding of one code point: every letter that has a case, not only A-Z.
char32_t foldCase(char32_t c);

// Decodes the code point at p (p < end) and advances p. A malformed byte stands for itself, so
// any byte string decodes, and decodes the same way everywhere.
char32_t decodeUtf8(const unsigned char*& p, const unsigned char* end);
void appendUtf8(std::string& out, char32_t c);

// Every code point whose fold is the fold of c, c included, in ascending order.
std::vector<char32_t> sameCaseFold(char32_t c);

// -1, 0 or 1 as a sorts before, equals or after b with letter case folded; code point order.
int compareFolded(std::string_view a, std::string_view b);
