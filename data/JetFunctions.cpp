#include "JetFunctions.h"

#include "AppError.h"
#include "CaseFold.h"
#include "DisplayFormat.h"

#include <QDate>
#include <cmath>
#include <cstring>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

// Both are the program's one fold and UTF-8 reading; the short names keep the matcher legible.
char32_t fold(char32_t c) {
    return foldCase(c);
}

char32_t decode(const unsigned char*& p, const unsigned char* end) {
    return decodeUtf8(p, end);
}

// ---- LIKE patterns ------------------------------------------------------------------------

struct CharRange {
    char32_t low, high;
};

struct CharSet {
    bool negated = false;
    std::vector<CharRange> raw;    // as written
    std::vector<CharRange> folded; // bounds folded, so [A-Z] also takes 'b'

    bool contains(char32_t c) const {
        const char32_t f = fold(c);
        bool in = false;
        for (size_t i = 0; i < raw.size() && !in; ++i)
            in = (c >= raw[i].low && c <= raw[i].high) ||
                 (f >= folded[i].low && f <= folded[i].high);
        return in != negated;
    }
};

struct Token {
    enum Kind : unsigned char { Literal, AnyOne, AnyRun, Set } kind;
    char32_t ch = 0; // folded literal, or index into sets
};

struct CompiledLike {
    std::string source;
    char32_t escape = 0;
    std::vector<Token> tokens;
    std::vector<CharSet> sets;
    // "%text%", "text%", "%text" or "text" with caseless characters only: a byte search.
    std::optional<std::string> needle;
    bool anyStart = false, anyEnd = false;

    bool matches(std::string_view text) const;
    bool walk(std::string_view text) const;
    void findNeedle();
};

// Characters that no case folding touches, and that nothing else folds to.
bool caseless(char32_t c) {
    if (c < 128)
        return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    return (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF20);
}

void CompiledLike::findNeedle() {
    size_t first = 0, last = tokens.size();
    anyStart = first < last && tokens[first].kind == Token::AnyRun;
    first += anyStart;
    anyEnd = first < last && tokens[last - 1].kind == Token::AnyRun;
    last -= anyEnd;
    std::string bytes;
    for (size_t i = first; i < last; ++i) {
        if (tokens[i].kind != Token::Literal || !caseless(tokens[i].ch))
            return;
        appendUtf8(bytes, tokens[i].ch);
    }
    needle = std::move(bytes);
}

void addRange(CharSet& set, char32_t low, char32_t high) {
    set.raw.push_back({low, high});
    char32_t fl = fold(low), fh = fold(high);
    set.folded.push_back({std::min(fl, fh), std::max(fl, fh)});
}

// Reads a [...] set whose '[' has been consumed; p ends after its ']'.
CharSet compileSet(const unsigned char*& p, const unsigned char* end, std::string_view source) {
    CharSet set;
    if (p < end && (*p == '!' || *p == '^')) {
        set.negated = true;
        ++p;
    }
    bool first = true;
    while (true) {
        if (p >= end)
            throw AppError(QString("LIKE 模式 '%1' 中的 '[' 缺少对应的 ']'")
                               .arg(QString::fromUtf8(source.data(), qsizetype(source.size()))));
        if (*p == ']' && !first) {
            ++p;
            return set;
        }
        first = false;
        const char32_t low = decode(p, end);
        if (p + 1 < end && *p == '-' && p[1] != ']') {
            ++p;
            const char32_t high = decode(p, end);
            addRange(set, std::min(low, high), std::max(low, high));
        } else {
            addRange(set, low, low);
        }
    }
}

CompiledLike compileLike(std::string_view source, char32_t escape) {
    CompiledLike out;
    out.source.assign(source);
    out.escape = escape;
    auto p = reinterpret_cast<const unsigned char*>(source.data());
    const auto end = p + source.size();
    while (p < end) {
        char32_t c = decode(p, end);
        if (escape && c == escape && p < end) {
            out.tokens.push_back({Token::Literal, fold(decode(p, end))});
        } else if (c == '%') {
            if (out.tokens.empty() || out.tokens.back().kind != Token::AnyRun)
                out.tokens.push_back({Token::AnyRun, 0});
        } else if (c == '_') {
            out.tokens.push_back({Token::AnyOne, 0});
        } else if (c == '[') {
            out.sets.push_back(compileSet(p, end, source));
            out.tokens.push_back({Token::Set, char32_t(out.sets.size() - 1)});
        } else {
            out.tokens.push_back({Token::Literal, fold(c)});
        }
    }
    out.findNeedle();
    return out;
}

bool CompiledLike::matches(std::string_view text) const {
    if (!needle)
        return walk(text);
    // Valid UTF-8 of whole characters can only be found at character boundaries.
    const std::string_view n = *needle;
    if (anyStart && anyEnd)
        return text.find(n) != std::string_view::npos;
    if (anyStart)
        return text.ends_with(n);
    if (anyEnd)
        return text.starts_with(n);
    return text == n;
}

// Every token but AnyRun takes exactly one code point, so the classic wildcard walk with
// one back-track point is exact and never allocates.
bool CompiledLike::walk(std::string_view text) const {
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = p + text.size();
    const size_t n = tokens.size();
    size_t t = 0;
    size_t starToken = SIZE_MAX;
    const unsigned char* starText = nullptr;
    while (p < end) {
        if (t < n && tokens[t].kind == Token::AnyRun) {
            starToken = t++;
            starText = p;
            continue;
        }
        const char32_t c = decode(p, end);
        if (t < n) {
            const Token& token = tokens[t];
            bool ok = token.kind == Token::AnyOne ||
                      (token.kind == Token::Literal && token.ch == fold(c)) ||
                      (token.kind == Token::Set && sets[token.ch].contains(c));
            if (ok) {
                ++t;
                continue;
            }
        }
        if (starToken == SIZE_MAX)
            return false;
        t = starToken + 1;
        decode(starText, end);
        p = starText;
    }
    while (t < n && tokens[t].kind == Token::AnyRun)
        ++t;
    return t == n;
}

std::string_view textOf(sqlite3_value* v) {
    auto data = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return {data ? data : "", size_t(sqlite3_value_bytes(v))};
}

void freeCompiled(void* p) {
    delete static_cast<CompiledLike*>(p);
}

// like(pattern, text [, escape]): the compiled pattern is kept on the statement, so a search
// over every row compiles it once.
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    char32_t escape = 0;
    if (argc == 3) {
        if (sqlite3_value_type(argv[2]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
        std::string_view e = textOf(argv[2]);
        auto p = reinterpret_cast<const unsigned char*>(e.data());
        const auto end = p + e.size();
        if (p < end)
            escape = decode(p, end);
        if (e.empty() || p != end)
            return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
    }
    const std::string_view pattern = textOf(argv[0]);
    auto* compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(ctx, 0));
    if (!compiled || compiled->source != pattern || compiled->escape != escape) {
        try {
            compiled = new CompiledLike(compileLike(pattern, escape));
        } catch (const AppError& e) {
            return sqlite3_result_error(ctx, e.text().toUtf8().constData(), -1);
        }
        sqlite3_set_auxdata(ctx, 0, compiled, freeCompiled);
        compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(ctx, 0));
        if (!compiled) // SQLite may drop it at once; match with a private copy then
            return sqlite3_result_int(ctx, compileLike(pattern, escape).matches(textOf(argv[1])));
    }
    sqlite3_result_int(ctx, compiled->matches(textOf(argv[1])));
}

// strcomp(a, b [, mode]): Null when either is Null, else -1, 0 or 1; mode 1 ignores letter
// case, as "=" in the program's statements does.
void strCompFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL))
        return sqlite3_result_null(ctx);
    const std::string_view a = textOf(argv[0]), b = textOf(argv[1]);
    if (argc == 3 && sqlite3_value_int64(argv[2]) == 1)
        return sqlite3_result_int(ctx, compareFolded(a, b));
    const int order = a.compare(b);
    sqlite3_result_int(ctx, (order > 0) - (order < 0));
}

// ---- dates --------------------------------------------------------------------------------

void dateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    // A statement asks once per row; the local date needs a time-zone lookup, so it is read
    // again only when the second has changed.
    thread_local qint64 second = -1;
    thread_local QByteArray today;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        today = storedDateTimeText(QDateTime(QDate::currentDate(), QTime(0, 0))).toUtf8();
        second = now;
    }
    sqlite3_result_text(ctx, today.constData(), int(today.size()), SQLITE_TRANSIENT);
}

struct CivilTime {
    int year, month, day;
    qint64 days;    // since 1970-01-01
    qint64 seconds; // since 1970-01-01 00:00:00
};

qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilTime civilFromDays(qint64 days, qint64 secondsOfDay) {
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    const int y = int(yoe + era * 400 + (m <= 2));
    return {y, m, d, days, days * 86400 + secondsOfDay};
}

// Accepts the stored text form and a Jet date serial (days since 1899-12-30).
std::optional<CivilTime> dateArgument(sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const double serial = sqlite3_value_double(v);
        const double whole = std::floor(serial);
        const qint64 secs = qint64(std::llround((serial - whole) * 86400.0));
        return civilFromDays(qint64(whole) - 25569, secs);
    }
    // The parts straight from the text: a QDateTime would look up the time zone for every row.
    const std::optional<qint64> key = storedDateTimeKey(textOf(v));
    if (!key)
        return std::nullopt;
    qint64 k = *key / 1000; // milliseconds do not count
    int parts[5];           // second, minute, hour, day, month
    for (int& part : parts) {
        part = int(k % 100);
        k /= 100;
    }
    const int year = int(k);
    if (!QDate::isValid(year, parts[4], parts[3]))
        return std::nullopt;
    return civilFromDays(daysFromCivil(year, parts[4], parts[3]),
                         parts[2] * 3600 + parts[1] * 60 + parts[0]);
}

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::optional<qint64> dateDiff(std::string_view interval, const CivilTime& a, const CivilTime& b) {
    std::string iv(interval);
    for (char& c : iv)
        c = char(foldCase(static_cast<unsigned char>(c) & 0x7F));
    if (iv == "yyyy")
        return b.year - a.year;
    if (iv == "q")
        return (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
    if (iv == "m")
        return (b.year * 12 + b.month) - (a.year * 12 + a.month);
    if (iv == "y" || iv == "d")
        return b.days - a.days;
    if (iv == "w")
        return (b.days - a.days) / 7;
    if (iv == "ww") // weeks begin on Sunday; 1970-01-04 was one
        return floorDiv(b.days - 3, 7) - floorDiv(a.days - 3, 7);
    if (iv == "h")
        return floorDiv(b.seconds, 3600) - floorDiv(a.seconds, 3600);
    if (iv == "n")
        return floorDiv(b.seconds, 60) - floorDiv(a.seconds, 60);
    if (iv == "s")
        return b.seconds - a.seconds;
    return std::nullopt;
}

bool isEmptyDate(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL ||
           (sqlite3_value_type(v) == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
}

void resultError(sqlite3_context* ctx, const QString& text) {
    sqlite3_result_error(ctx, text.toUtf8().constData(), -1);
}

// The argument that is the same text in row after row (Date(), as a rule) is read once.
std::optional<CivilTime> repeatedDateArgument(sqlite3_value* v) {
    thread_local std::string lastText;
    thread_local std::optional<CivilTime> lastValue;
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return dateArgument(v);
    const std::string_view text = textOf(v);
    if (text != lastText) {
        lastValue = dateArgument(v);
        lastText.assign(text);
    }
    return lastValue;
}

// datediff(interval, d1, d2): boundaries of the interval crossed from d1 to d2.
void dateDiffFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || isEmptyDate(argv[1]) || isEmptyDate(argv[2]))
        return sqlite3_result_null(ctx);
    const std::optional<CivilTime> a = repeatedDateArgument(argv[1]);
    const std::optional<CivilTime> b = dateArgument(argv[2]);
    for (int i : {1, 2})
        if (!(i == 1 ? a : b))
            return resultError(ctx, QString("DateDiff: 无法识别的日期 '%1'")
                                        .arg(QString::fromUtf8(textOf(argv[i]).data(),
                                                               qsizetype(textOf(argv[i]).size()))));
    const std::string_view interval = textOf(argv[0]);
    const std::optional<qint64> diff = dateDiff(interval, *a, *b);
    if (!diff)
        return resultError(
            ctx, QString("DateDiff: 无效的时间间隔 '%1'")
                     .arg(QString::fromUtf8(interval.data(), qsizetype(interval.size()))));
    sqlite3_result_int64(ctx, *diff);
}

} // namespace

bool jetLike(std::string_view pattern, std::string_view text, char32_t escape) {
    return compileLike(pattern, escape).matches(text);
}

std::vector<std::u32string> jetLikeLiteralRuns(std::string_view pattern) {
    CompiledLike compiled;
    try {
        compiled = compileLike(pattern, 0);
    } catch (const AppError&) {
        return {}; // the matcher itself reports the pattern, on the first row it meets
    }
    std::vector<std::u32string> runs(1);
    for (const Token& token : compiled.tokens) {
        if (token.kind == Token::Literal)
            runs.back() += token.ch;
        else if (!runs.back().empty())
            runs.emplace_back();
    }
    if (runs.back().empty())
        runs.pop_back();
    return runs;
}

int registerJetFunctions(sqlite3* db) {
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function(db, "like", 2, pure, nullptr, likeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, pure, nullptr, likeFunction, nullptr, nullptr);
    for (int argc : {2, 3})
        if (rc == SQLITE_OK)
            rc = sqlite3_create_function(db, "strcomp", argc, pure, nullptr, strCompFunction,
                                         nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "date", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                     dateFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "datediff", 3, pure, nullptr, dateDiffFunction, nullptr,
                                     nullptr);
    return rc;
}
