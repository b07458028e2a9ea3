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
    Translator(const QString& sql, const NameMap& names) : in_(split(sql)), names_(names) {}

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
                out_ << quoteName(stored.isEmpty() ? inner : stored);
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
        const QString stored = resolvedName(p.text, names_);
        out_ << (stored.isEmpty() ? p.text : quoteName(stored));
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
        // ICU's caseless matching, whatever the column's own collation.
        out_ << "(" + left + ")::text COLLATE \"und-x-icu\" " + (negated ? "!~* " : "~* ") +
                    pattern;
    }

    QVector<Piece> in_;
    const NameMap& names_;
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

Translated translate(const QString& sql, const NameMap& names) {
    return Translator(sql, names).run();
}

QString likeToRegex(const QString& pattern, char32_t escape) {
    const QList<uint> cs = pattern.toUcs4();
    QString out = "^";
    for (qsizetype i = 0; i < cs.size(); ++i) {
        const char32_t c = cs[i];
        if (escape && c == escape && i + 1 < cs.size()) {
            out += atom(cs[++i]);
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
                if (i + 2 < cs.size() && cs[i + 1] == '-' && cs[i + 2] != ']') {
                    const char32_t high = cs[i + 2];
                    set += atom(std::min(low, high)) + "-" + atom(std::max(low, high));
                    i += 3;
                } else {
                    set += atom(low);
                    ++i;
                }
            }
            out += set + "]";
        } else {
            out += atom(c);
        }
    }
    return out + "$";
}

} // namespace Pg
