#pragma once

#include <QString>

// The key under which two customer names count as the same when compared in memory: equal
// keys exactly when the database's comparison of Company (COLLATE NOCASE: letter case aside
// for A-Z only) finds them equal. Changing that collation means changing this with it.
inline QString nameFoldKey(QStringView name) {
    QString key = name.toString();
    for (QChar& c : key)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return key;
}
