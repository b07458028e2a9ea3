#include "customers/pinyin/PinyinIndex.h"

#include <algorithm>

void PinyinIndex::add(qint64 id, QStringView text) {
    appendPinyinKeys(text, keys_);
    ids_.push_back(id);
}

void PinyinIndex::replace(qint64 id, QStringView text) {
    const auto old = std::find(ids_.begin(), ids_.end(), id);
    if (old != ids_.end()) {
        *old = droppedId;
        ++dropped_;
    }
    add(id, text);
}

void PinyinIndex::clear() {
    keys_ = {};
    ids_ = {};
    dropped_ = 0;
}

void PinyinIndex::shrink() {
    keys_.shrink_to_fit();
    ids_.shrink_to_fit();
}

std::vector<qint64> PinyinIndex::find(const PinyinKeyword& keyword,
                                      const std::atomic_bool* stop) const {
    std::vector<qint64> found;
    if (!keyword.usable())
        return found;
    const uint8_t* keys = keys_.data();
    for (size_t row = 0; row < ids_.size(); ++row) {
        if (stop && row % 4096 == 0 && *stop)
            break;
        if (keyword.matchRow(keys) && ids_[row] != droppedId)
            found.push_back(ids_[row]);
    }
    return found;
}
