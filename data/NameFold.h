#pragma once

#include "data/CaseFold.h"

#include <QString>

// The key under which two customer names count as the same when compared in memory: equal
// keys exactly when the database's comparison of Company (StrComp with letter case folded)
// finds them equal, since both fold with foldCase over the same UTF-8 decoding.
inline QString nameFoldKey(QStringView name) {
    const QByteArray utf8 = name.toUtf8();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.constData());
    const auto* end = p + utf8.size();
    std::string folded;
    folded.reserve(size_t(utf8.size()));
    while (p < end)
        appendUtf8(folded, foldCase(decodeUtf8(p, end)));
    return QString::fromStdString(folded);
}
