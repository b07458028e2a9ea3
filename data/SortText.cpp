#include "SortText.h"

#include "AppError.h"

namespace {

[[noreturn]] void badSortText(const QString& text) {
    throw AppError(QString("排序说明 '%1' 无效").arg(text));
}

// One "Name [ASC|DESC]" item; a name in brackets may hold blanks.
SortKey parseItem(const QString& item, const QString& text) {
    QString rest = item.trimmed();
    SortKey key;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            badSortText(text);
        key.field = rest.mid(1, close - 1).trimmed();
        rest = rest.mid(close + 1).trimmed();
    } else {
        key.field = rest.section(u' ', 0, 0, QString::SectionSkipEmpty);
        rest = rest.section(u' ', 1, -1, QString::SectionSkipEmpty).trimmed();
    }
    if (key.field.isEmpty())
        badSortText(text);
    if (rest.compare(u"DESC", Qt::CaseInsensitive) == 0)
        key.descending = true;
    else if (!rest.isEmpty() && rest.compare(u"ASC", Qt::CaseInsensitive) != 0)
        badSortText(text);
    return key;
}

} // namespace

QList<SortKey> parseSortText(const QString& text) {
    QList<SortKey> keys;
    if (text.trimmed().isEmpty())
        return keys;
    QString normalised = text;
    normalised.replace(u'\t', u' ');
    for (const QString& item : normalised.split(u','))
        keys << parseItem(item, text);
    return keys;
}
