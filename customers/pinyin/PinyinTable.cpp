#include "customers/pinyin/PinyinTable.h"

#include <algorithm>

int pinyinReadingSet(char32_t code) {
    const char32_t* end = PinyinData::hanCodes + PinyinData::hanCount;
    const char32_t* at = std::lower_bound(PinyinData::hanCodes, end, code);
    return at != end && *at == code ? PinyinData::hanSets[at - PinyinData::hanCodes] : -1;
}
