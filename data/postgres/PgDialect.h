#pragma once

// Turns the program's statements (written for a Jet-like engine, with "?" marks) into
// PostgreSQL: $n marks, real names quoted in their stored case, True/False as 1/0, Date() as
// today, "=" on a text column and LIKE with the Jet wildcards on folded texts, so letter case
// counts as little as on the embedded engine.

#include <QHash>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>

namespace Pg {

// A "?" whose value is a LIKE pattern, to be turned into a regular expression when bound.
struct PatternParam {
    int index = 0;       // 0-based position among the statement's values
    char32_t escape = 0; // 0 for none
};

struct Translated {
    QString sql;
    int paramCount = 0;
    QVector<PatternParam> patterns;
    bool changesSchema = false; // CREATE, ALTER or DROP: the name list must be read again
    // "select * from <table> [where ...]" with no order of its own: the table, as written.
    QString wholeRowsOf;
};

// Lower-case name -> the name as stored, for tables and columns of the working schema.
using NameMap = QHash<QString, QString>;

// Lower-case names of the text columns, whose "=" compares folded texts.
using NameSet = QSet<QString>;

Translated translate(const QString& sql, const NameMap& names, const NameSet& textColumns = {});

// A character as the server's custdesk_fold() leaves it: simple case folding, then lower case.
char32_t foldedChar(char32_t c);
// The characters whose fold the server's lower() alone does not give, with their folds.
QPair<QString, QString> foldExceptions();

// The anchored regular expression that matches, on a folded text, what the Jet LIKE pattern
// matches without regard to letter case. Throws AppError for a '[' without its ']'.
QString likeToRegex(const QString& pattern, char32_t escape = 0);

// "x" with embedded quotes doubled.
QString quoteName(const QString& name);

} // namespace Pg
