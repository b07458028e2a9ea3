#pragma once

// The SQL behaviours the program's statements rely on, added to every SQLite connection:
// LIKE with the ANSI wildcards and [...] sets without regard to case, StrComp(a, b, 1) comparing
// without regard to case, Date() as today's local date, and DateDiff(interval, d1, d2) counting
// calendar boundaries. Letter case is folded for every letter, not only A-Z (CaseFold.h).

#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

// Registers like/2, like/3, strcomp/2, strcomp/3, date/0 and datediff/3 on the connection. Returns
// an SQLite code.
int registerJetFunctions(sqlite3* db);

// The LIKE matcher itself, usable without SQL: true when text matches pattern. escape is 0 for
// none. Throws AppError for an unterminated '['.
bool jetLike(std::string_view pattern, std::string_view text, char32_t escape = 0);

// The runs of literal characters, folded, that every text matching the pattern (no escape)
// holds somewhere, in pattern order; none for a pattern the matcher refuses.
std::vector<std::u32string> jetLikeLiteralRuns(std::string_view pattern);
