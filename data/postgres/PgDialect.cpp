#include "PgDialect.h"

#include "data/AppError.h"

#include <QStringList>

namespace Pg {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_';
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// One piece of the statement: a word, a quoted text, a quoted name, a mark or anything else.
struct Piece {
    enum Kind { Word, Text, Name, Mark, Space, Other } kind;
    QString text;
};

QVector<Piece> split(const QString& sql) {
    QVector<Piece> out;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    auto quoted = [&](QChar close) {
        const qsizetype start = i++;
        while (i < n) {
            if (sql[i] == close) {
                if (close != u']' && i + 1 < n && sql[i + 1] == close) {
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            ++i;
        }
        return sql.mid(start, i - start);
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'') {
            out.push_back({Piece::Text, quoted(u'\'')});
        } else if (c == u'"') {
            out.push_back({Piece::Name, quoted(u'"')});
        } else if (c == u'[') {
            out.push_back({Piece::Name, quoted(u']')});
        } else if (c == u'?') {
            out.push_back({Piece::Mark, "?"});
            ++i;
        } else if (c.isSpace()) {
            const qsizetype start = i;
            while (i < n && sql[i].isSpace())
                ++i;
            out.push_back({Piece::Space, sql.mid(start, i - start)});
        } else if (isWordStart(c)) {
            const qsizetype start = i;
            while (i < n && isWordChar(sql[i]))
                ++i;
            out.push_back({Piece::Word, sql.mid(start, i - start)});
        } else if (c.isDigit()) {
            const qsizetype start = i;
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == u'.'))
                ++i;
            out.push_back({Piece::Other, sql.mid(start, i - start)});
        } else {
            out.push_back({Piece::Other, QString(c)});
            ++i;
        }
    }
    return out;
}

QString unquoteText(const QString& literal) {
    QString inner = literal.mid(1, literal.size() - 2);
    return inner.replace("''", "'");
}

QString quoteText(const QString& text) {
    QString inner = text;
    return u'\'' + inner.replace(u'\'', "''") + u'\'';
}

// The stored name a written name stands for; names are not case-sensitive here.
QString resolvedName(const QString& written, const NameMap& names) {
    const auto it = names.constFind(written.toLower());
    return it == names.constEnd() ? QString() : *it;
}

bool isWord(const Piece& p, const char* word) {
    return p.kind == Piece::Word && p.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

class Translator {
  public:
    Translator(const QString& sql, const NameMap& names, const NameSet& texts)
        : in_(split(sql)), names_(names), texts_(texts) {}

    Translated run() {
        for (const Piece& p : in_)
            if (p.kind != Piece::Space) {
                const QString first = p.text.toLower();
                result_.changesSchema = first == "create" || first == "alter" || first == "drop";
                break;
            }
        result_.wholeRowsOf = wholeRowsTable();
        for (pos_ = 0; pos_ < in_.size(); ++pos_)
            step();
        QString sql;
        for (const QString& s : out_)
            sql += s;
        result_.sql = sql;
        return result_;
    }

  private:
    // The table of "select * from <table> [where ...]", or empty for any other statement.
    QString wholeRowsTable() const {
        QVector<const Piece*> solid;
        for (const Piece& p : in_)
            if (p.kind != Piece::Space)
                solid << &p;
        if (solid.size() < 4 || !isWord(*solid[0], "select") || solid[1]->text != "*" ||
            !isWord(*solid[2], "from") ||
            (solid[3]->kind != Piece::Word && solid[3]->kind != Piece::Name))
            return {};
        if (solid.size() > 4 && !isWord(*solid[4], "where"))
            return {};
        for (const Piece* p : solid)
            for (const char* w : {"order", "group", "union", "limit", "offset", "having",
                                  "intersect", "except", "select"})
                if (p != solid[0] && isWord(*p, w))
                    return {};
        return solid[3]->text;
    }

    // Index of the next piece that is not a blank, from i on; in_.size() when none.
    qsizetype nextSolid(qsizetype i) const {
        while (i < in_.size() && in_[i].kind == Piece::Space)
            ++i;
        return i;
    }

    QString mark() { return "$" + QString::number(++result_.paramCount); }

    void step() {
        const Piece& p = in_[pos_];
        switch (p.kind) {
        case Piece::Mark:
            out_ << mark();
            return;
        case Piece::Name:
            if (p.text.startsWith(u'[')) {
                const QString inner = p.text.mid(1, p.text.size() - 2);
                const QString stored = resolvedName(inner, names_);
                column(inner, quoteName(stored.isEmpty() ? inner : stored));
            } else {
                out_ << p.text;
            }
            return;
        case Piece::Word:
            word(p);
            return;
        default:
            out_ << p.text;
        }
    }

    void word(const Piece& p) {
        const QString lower = p.text.toLower();
        if (lower == "like" || (lower == "not" && isWord(in_.value(nextSolid(pos_ + 1)), "like"))) {
            like(lower == "not");
            return;
        }
        if (lower == "true" || lower == "false") {
            out_ << (lower == "true" ? "1" : "0");
            return;
        }
        if (lower == "date") {
            const qsizetype open = nextSolid(pos_ + 1);
            const qsizetype close = nextSolid(open + 1);
            if (open < in_.size() && in_[open].text == "(" && close < in_.size() &&
                in_[close].text == ")") {
                out_ << "(CURRENT_DATE::timestamp(0))";
                pos_ = close;
                return;
            }
        }
        if (lower == "set")
            inSetList_ = true;
        else if (lower == "where")
            inSetList_ = false;
        const QString stored = resolvedName(p.text, names_);
        column(p.text, stored.isEmpty() ? p.text : quoteName(stored));
    }

    // A name; a text column compared with "=" compares folded texts on both sides.
    void column(const QString& written, const QString& quoted) {
        const qsizetype eq = nextSolid(pos_ + 1);
        const qsizetype operand = nextSolid(eq + 1);
        const bool qualified = !out_.isEmpty() && out_.last() == ".";
        if (inSetList_ || qualified || !texts_.contains(written.toLower()) || eq >= in_.size() ||
            in_[eq].text != "=" || operand >= in_.size() || (in_[operand].text == "=")) {
            out_ << quoted;
            return;
        }
        QString right;
        const Piece& o = in_[operand];
        if (o.kind == Piece::Mark) {
            right = mark();
        } else if (o.kind == Piece::Text) {
            right = o.text;
        } else if (o.kind == Piece::Word || o.kind == Piece::Name) {
            const QString inner = o.kind == Piece::Name && o.text.startsWith(u'[')
                                      ? o.text.mid(1, o.text.size() - 2)
                                      : o.text;
            const QString stored = resolvedName(inner, names_);
            right = o.kind == Piece::Name && o.text.startsWith(u'"')
                        ? o.text
                        : (stored.isEmpty() ? inner : quoteName(stored));
        } else {
            out_ << quoted;
            return;
        }
        out_ << "custdesk_fold(" + quoted + ") = custdesk_fold(" + right + ")";
        pos_ = operand;
    }

    // The operand just written before LIKE: one piece, or a bracketed group.
    QString takeLeftOperand() {
        while (!out_.isEmpty() && out_.last().trimmed().isEmpty())
            out_.removeLast();
        if (out_.isEmpty())
            throw AppError("LIKE 缺少左边的值");
        if (out_.last() != ")")
            return out_.takeLast();
        QString operand;
        int depth = 0;
        while (!out_.isEmpty()) {
            const QString s = out_.takeLast();
            depth += s == ")" ? 1 : s == "(" ? -1 : 0;
            operand.prepend(s);
            if (depth == 0)
                break;
        }
        // A function name before the group belongs to the operand.
        if (!out_.isEmpty() && !out_.last().isEmpty() && isWordChar(out_.last().back()))
            operand.prepend(out_.takeLast());
        return operand;
    }

    void like(bool negated) {
        const QString left = takeLeftOperand();
        pos_ = nextSolid(pos_ + 1);
        if (negated)
            pos_ = nextSolid(pos_ + 1); // past LIKE
        const qsizetype patternAt = pos_;
        if (patternAt >= in_.size() ||
            (in_[patternAt].kind != Piece::Mark && in_[patternAt].kind != Piece::Text))
            throw AppError("LIKE 的模式必须是文字或参数");
        char32_t escape = 0;
        const qsizetype escapeWord = nextSolid(patternAt + 1);
        if (escapeWord < in_.size() && isWord(in_[escapeWord], "escape")) {
            const qsizetype e = nextSolid(escapeWord + 1);
            if (e >= in_.size() || in_[e].kind != Piece::Text)
                throw AppError("ESCAPE 后必须是一个字符");
            const QList<uint> chars = unquoteText(in_[e].text).toUcs4();
            if (chars.size() != 1)
                throw AppError("ESCAPE expression must be a single character");
            escape = chars[0];
            pos_ = e;
        } else {
            pos_ = patternAt;
        }
        QString pattern;
        if (in_[patternAt].kind == Piece::Mark) {
            result_.patterns.push_back({result_.paramCount, escape});
            pattern = mark();
        } else {
            pattern = quoteText(likeToRegex(unquoteText(in_[patternAt].text), escape));
        }
        out_ << "custdesk_fold((" + left + ")::text) " + (negated ? "!~ " : "~ ") + pattern;
    }

    QVector<Piece> in_;
    const NameMap& names_;
    const NameSet& texts_;
    bool inSetList_ = false; // between UPDATE's SET and WHERE, "=" assigns
    QStringList out_;
    qsizetype pos_ = 0;
    Translated result_;
};

// A character as a regular expression atom: letters and digits stand for themselves.
QString atom(char32_t c) {
    if (c >= 128 || (c < 128 && QChar(c).isLetterOrNumber()))
        return QString::fromUcs4(&c, 1);
    return QString("\\u%1").arg(uint(c), 4, 16, QChar(u'0'));
}

} // namespace

QString quoteName(const QString& name) {
    QString quoted = name;
    return u'"' + quoted.replace(u'"', "\"\"") + u'"';
}

Translated translate(const QString& sql, const NameMap& names, const NameSet& textColumns) {
    return Translator(sql, names, textColumns).run();
}

char32_t foldedChar(char32_t c) {
    return QChar::toLower(QChar::toCaseFolded(c));
}

QPair<QString, QString> foldExceptions() {
    QString from, to;
    for (char32_t c = 0; c < 0x110000; ++c) {
        const char32_t f = foldedChar(c);
        if (f != QChar::toLower(c)) {
            from += QString::fromUcs4(&c, 1);
            to += QString::fromUcs4(&f, 1);
        }
    }
    return {from, to};
}

QString likeToRegex(const QString& pattern, char32_t escape) {
    const QList<uint> cs = pattern.toUcs4();
    QString out = "^";
    for (qsizetype i = 0; i < cs.size(); ++i) {
        const char32_t c = cs[i];
        if (escape && c == escape && i + 1 < cs.size()) {
            out += atom(foldedChar(cs[++i]));
        } else if (c == '%') {
            if (!out.endsWith(".*"))
                out += ".*";
        } else if (c == '_') {
            out += ".";
        } else if (c == '[') {
            QString set = "[";
            ++i;
            if (i < cs.size() && (cs[i] == '!' || cs[i] == '^')) {
                set += "^";
                ++i;
            }
            bool first = true;
            while (true) {
                if (i >= cs.size())
                    throw AppError(QString("LIKE 模式 '%1' 中的 '[' 缺少对应的 ']'").arg(pattern));
                if (cs[i] == ']' && !first)
                    break;
                first = false;
                const char32_t low = cs[i];
                // The text is folded: a range takes what it holds as written and as folded.
                char32_t high = low;
                if (i + 2 < cs.size() && cs[i + 1] == '-' && cs[i + 2] != ']') {
                    high = cs[i + 2];
                    i += 3;
                } else {
                    ++i;
                }
                auto range = [](char32_t a, char32_t b) {
                    return a == b ? atom(a) : atom(std::min(a, b)) + "-" + atom(std::max(a, b));
                };
                const QString raw = range(low, high);
                const QString folded = range(foldedChar(low), foldedChar(high));
                set += raw == folded ? raw : raw + folded;
            }
            out += set + "]";
        } else {
            out += atom(foldedChar(c));
        }
    }
    return out + "$";
}

} // namespace Pg
