#pragma once

// The pinyin keys of one text field of many rows, each row known by its id. Built once and
// kept as rows change; finding the rows that match a keyword reads no text.

#include "customers/pinyin/PinyinKeys.h"

#include <QtGlobal>
#include <atomic>
#include <vector>

class PinyinIndex {
  public:
    void add(qint64 id, QStringView text);
    // A row whose text changed: its old keys stop counting. An unknown id is added.
    void replace(qint64 id, QStringView text);
    void clear();
    void shrink(); // gives back what growing left unused, once the rows are read

    // The ids of the rows whose keys match, in the order the rows were added; only some of
    // them once *stop is set.
    std::vector<qint64> find(const PinyinKeyword& keyword,
                             const std::atomic_bool* stop = nullptr) const;

    size_t rows() const { return ids_.size() - dropped_; }
    size_t keyBytes() const { return keys_.size(); } // the keys alone, end marks included
    size_t bytesHeld() const { return keys_.capacity() + ids_.capacity() * sizeof(qint64); }

  private:
    static constexpr qint64 droppedId = -1;
    std::vector<uint8_t> keys_; // the rows' keys one after another, each with its end mark
    std::vector<qint64> ids_;   // per row in keys_; droppedId once replaced
    size_t dropped_ = 0;
};
