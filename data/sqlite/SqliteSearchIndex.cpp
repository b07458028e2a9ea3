#include "SqliteSearchIndex.h"

#include "data/CaseFold.h"
#include "data/JetFunctions.h"

#include <sqlite3.h>

namespace SqliteSearchIndex {

namespace {

const QString indexedTable = QStringLiteral("Custom");
const QString indexTable = QStringLiteral("Custom_search");
// Long texts (details, introduction) stay out: their trigrams would outgrow the table itself.
const QStringList indexedColumns = {"Company", "tel", "Mobile", "OtherInfo"};
const char* const triggerNames[] = {"Custom_search_ai", "Custom_search_ad", "Custom_search_au"};

// A keyword trigram with more spellings than this is left to the other trigrams.
constexpr size_t maxSpellings = 64;
constexpr size_t maxTrigrams = 6;

QString quoted(const QString& name) {
    return '"' + QString(name).replace('"', "\"\"") + '"';
}

QStringList column(Connection& connection, const QString& sql, const QVariantList& params = {}) {
    QStringList out;
    auto rows = connection.query({sql, params});
    while (rows->next())
        out << QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
    return out;
}

// The column that is the table's rowid, whose values survive a VACUUM; empty when none.
QString rowidColumn(Connection& connection) {
    const QStringList keys = column(connection,
                                    "SELECT name || '/' || upper(type) FROM pragma_table_info(?) "
                                    "WHERE pk > 0",
                                    {indexedTable});
    if (keys.size() != 1 || !keys[0].endsWith("/INTEGER"))
        return {};
    return keys[0].section('/', 0, 0);
}

QStringList presentColumns(Connection& connection) {
    QStringList present;
    const QStringList real = connection.columnsOf(indexedTable);
    for (const QString& wanted : indexedColumns)
        for (const QString& name : real)
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                present << name;
    return present;
}

bool indexExists(Connection& connection) {
    return !column(connection, "SELECT name FROM sqlite_master WHERE type='table' AND name=?",
                   {indexTable})
                .isEmpty();
}

QString joined(const QStringList& columns, const QString& prefix) {
    QStringList parts;
    for (const QString& c : columns)
        parts << prefix + quoted(c);
    return parts.join(", ");
}

void build(Connection& connection) {
    if (!sqlite3_compileoption_used("ENABLE_FTS5"))
        return;
    const QString key = rowidColumn(connection);
    const QStringList columns = presentColumns(connection);
    if (key.isEmpty() || columns.isEmpty())
        return;
    const QString t = quoted(indexedTable), ix = quoted(indexTable);
    const QString insertNew = "INSERT INTO " + ix + "(rowid, " + joined(columns, "") +
                              ") VALUES (new." + quoted(key) + ", " + joined(columns, "new.") +
                              ");";
    const QString deleteOld = "INSERT INTO " + ix + "(" + ix + ", rowid, " + joined(columns, "") +
                              ") VALUES ('delete', old." + quoted(key) + ", " +
                              joined(columns, "old.") + ");";
    // Case-sensitive trigrams: the program's own fold decides what matches, not the index's.
    connection.execute({"CREATE VIRTUAL TABLE " + ix + " USING fts5(" + joined(columns, "") +
                            ", content='" + indexedTable + "', content_rowid='" + key +
                            "', tokenize='trigram case_sensitive 1', detail='column')",
                        {}});
    connection.execute({QString("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN %3 END")
                            .arg(triggerNames[0], t, insertNew),
                        {}});
    connection.execute({QString("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN %3 END")
                            .arg(triggerNames[1], t, deleteOld),
                        {}});
    connection.execute({QString("CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 BEGIN %4 %5 END")
                            .arg(triggerNames[2], quoted(key) + ", " + joined(columns, ""), t,
                                 deleteOld, insertNew),
                        {}});
    connection.execute({"INSERT INTO " + ix + "(" + ix + ") VALUES ('rebuild')", {}});
}

// The index answers only while all its triggers are there to keep it right.
QStringList usableIndexColumns(Connection& connection) {
    const QStringList triggers =
        column(connection, "SELECT name FROM sqlite_master WHERE type='trigger' AND tbl_name=?",
               {indexedTable});
    for (const char* name : triggerNames)
        if (!triggers.contains(QString::fromLatin1(name)))
            return {};
    return column(connection, "SELECT name FROM pragma_table_info(?)", {indexTable});
}

// Whether every spelling of c that matches it, read the way the LIKE matcher reads bytes, is
// also a character the trigram tokenizer reads from the same bytes. Lone bytes 80-FF read as
// U+0080-U+00FF, and the tokenizer turns U+FFFE/U+FFFF into U+FFFD; NUL may end a text.
bool indexable(char32_t c) {
    for (char32_t s : sameCaseFold(c))
        if (s == 0 || (s >= 0x80 && s <= 0xFF) || s == 0xFFFE || s == 0xFFFF)
            return false;
    return true;
}

// ("abc" OR "aBc" OR ...): every spelling of the trigram that the LIKE takes as equal.
std::optional<QString> spellings(const std::u32string& trigram) {
    std::vector<std::string> words(1);
    for (char32_t c : trigram) {
        const std::vector<char32_t> same = sameCaseFold(c);
        if (words.size() * same.size() > maxSpellings)
            return std::nullopt;
        std::vector<std::string> longer;
        for (const std::string& w : words)
            for (char32_t s : same) {
                std::string next = w;
                appendUtf8(next, s);
                longer.push_back(std::move(next));
            }
        words = std::move(longer);
    }
    QStringList phrases;
    for (const std::string& w : words)
        phrases << '"' + QString::fromStdString(w).replace('"', "\"\"") + '"';
    return '(' + phrases.join(" OR ") + ')';
}

// Trigrams every match must hold, spread over the keyword's indexable runs.
QStringList requiredTrigrams(const QString& pattern) {
    QStringList terms;
    for (const std::u32string& run : jetLikeLiteralRuns(pattern.toStdString())) {
        std::u32string part;
        auto take = [&] { // side by side, the last one flush with the end
            std::vector<size_t> starts;
            for (size_t i = 0; i + 3 <= part.size(); i += 3)
                starts.push_back(i);
            if (part.size() > 3 && part.size() % 3 != 0)
                starts.push_back(part.size() - 3);
            for (size_t i : starts)
                if (auto term = spellings(part.substr(i, 3));
                    term && size_t(terms.size()) < maxTrigrams)
                    terms << *term;
            part.clear();
        };
        for (char32_t c : run) {
            if (indexable(c))
                part += c;
            else
                take();
        }
        take();
    }
    return terms;
}

} // namespace

void create(Connection& connection) {
    if (!indexExists(connection))
        build(connection);
}

void rebuild(Connection& connection) {
    Transaction transaction(connection);
    for (const char* name : triggerNames)
        connection.execute({QString("DROP TRIGGER IF EXISTS %1").arg(name), {}});
    connection.execute({"DROP TABLE IF EXISTS " + quoted(indexTable), {}});
    build(connection);
    transaction.commit();
}

std::optional<SqlCommand> containsCondition(Connection& connection, const QString& table,
                                            const QString& column, const QString& keyword) {
    if (table.compare(indexedTable, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString pattern = "%" + keyword + "%";
    const QStringList terms = requiredTrigrams(pattern);
    if (terms.isEmpty())
        return std::nullopt;
    for (const QString& indexed : usableIndexColumns(connection))
        if (indexed.compare(column, Qt::CaseInsensitive) == 0)
            return SqlCommand{
                quoted(column) + " like ? and rowid in (select rowid from " + quoted(indexTable) +
                    " where " + quoted(indexTable) + " match ?)",
                {pattern, "{" + quoted(indexed) + "} : (" + terms.join(" AND ") + ")"}};
    return std::nullopt;
}

} // namespace SqliteSearchIndex
