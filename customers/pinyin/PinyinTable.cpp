#include "customers/pinyin/PinyinTable.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t none = 0xFFFF;

// The BMP, where nearly every name's characters are, looked up in one step.
const std::vector<uint16_t>& bmpSets() {
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> sets(0x10000, none);
        for (int i = 0; i < PinyinData::hanCount && PinyinData::hanCodes[i] < 0x10000; ++i)
            sets[PinyinData::hanCodes[i]] = PinyinData::hanSets[i];
        return sets;
    }();
    return table;
}

} // namespace

int pinyinReadingSet(char32_t code) {
    if (code < 0x10000) {
        const uint16_t set = bmpSets()[code];
        return set == none ? -1 : set;
    }
    const char32_t* end = PinyinData::hanCodes + PinyinData::hanCount;
    const char32_t* at = std::lower_bound(PinyinData::hanCodes, end, code);
    return at != end && *at == code ? PinyinData::hanSets[at - PinyinData::hanCodes] : -1;
}
