#include "SortSpec.h"

#include "AppError.h"

namespace {

[[noreturn]] void badSpec(const QString& spec) {
    throw AppError(QString("排序说明 '%1' 无效").arg(spec));
}

// One "Name [ASC|DESC]" item; a name in brackets may hold blanks.
SortKey parseItem(const QString& item, const QString& spec) {
    QString rest = item.trimmed();
    SortKey key;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            badSpec(spec);
        key.field = rest.mid(1, close - 1).trimmed();
        rest = rest.mid(close + 1).trimmed();
    } else {
        key.field = rest.section(u' ', 0, 0, QString::SectionSkipEmpty);
        rest = rest.section(u' ', 1, -1, QString::SectionSkipEmpty).trimmed();
    }
    if (key.field.isEmpty())
        badSpec(spec);
    if (rest.compare(u"DESC", Qt::CaseInsensitive) == 0)
        key.descending = true;
    else if (!rest.isEmpty() && rest.compare(u"ASC", Qt::CaseInsensitive) != 0)
        badSpec(spec);
    return key;
}

} // namespace

QList<SortKey> parseSortSpec(const QString& spec) {
    QList<SortKey> keys;
    if (spec.trimmed().isEmpty())
        return keys;
    QString normalised = spec;
    normalised.replace(u'\t', u' ');
    for (const QString& item : normalised.split(u','))
        keys << parseItem(item, spec);
    return keys;
}
