#include "QuerySort.h"

#include "DisplayFormat.h"
#include "QueryStore.h"
#include "Utf8Decoder.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <unordered_map>

namespace {

enum Rank : uint8_t { Empty, Number, Text, Bytes, RankCount };

int sign(auto a, auto b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

// A number or date as a sort compares it: exactly while both are whole, where a double would
// round.
struct NumberKey {
    bool whole = false;
    qint64 integer = 0;
    double real = 0;
};

NumberKey wholeNumber(qint64 value) {
    return {true, value, double(value)};
}

int compareNumbers(const NumberKey& a, const NumberKey& b) {
    return a.whole && b.whole ? sign(a.integer, b.integer) : sign(a.real, b.real);
}

// One cell as a sort sees it: its rank, and what that rank compares by.
struct SortCell {
    Rank rank = Empty;
    NumberKey number;
    std::string_view text; // a text's UTF-8, or a blob's bytes
};

// The UTF-8 of the words a field's keys show as, so a sort follows what the list shows.
using KeyWords = std::unordered_map<qint64, QByteArray>;

KeyWords keyWords(const QueryStore& store, int field) {
    KeyWords words;
    if (const auto& texts = store.fields[size_t(field)].keyTexts)
        for (auto i = texts->cbegin(); i != texts->cend(); ++i)
            words.emplace(i.key(), i.value().toUtf8());
    return words;
}

SortCell sortCell(const QueryStore& store, uint32_t row, int field, bool dates,
                  const KeyWords& words) {
    switch (store.type(row, field)) {
    case CellType::Null:
        break;
    case CellType::Integer: {
        const qint64 value = store.integer(row, field);
        if (const auto found = words.find(value); found != words.end() && !found->second.isEmpty())
            return {Text, {}, {found->second.constData(), size_t(found->second.size())}};
        return {Number, wholeNumber(value), {}};
    }
    case CellType::Float:
        return {Number, {false, 0, store.real(row, field)}, {}};
    case CellType::Text: {
        const std::string_view text = store.text(row, field);
        if (text.empty())
            break;
        if (const auto key = dates ? storedDateTimeKey(text) : std::nullopt)
            return {Number, wholeNumber(*key), {}};
        return {Text, {}, text};
    }
    case CellType::Blob:
        return {Bytes, {}, store.text(row, field)};
    }
    return {};
}

bool holdsDates(const QueryStore& store, int field) {
    return store.fields[size_t(field)].kind == FieldKind::DateTime;
}

// Makes the sort keys of stored texts.
class TextKeys {
  public:
    explicit TextKeys(const QCollator& collator) : collator_(collator) {}
    QCollatorSortKey operator()(std::string_view utf8) {
        return collator_.sortKey(decoder_.decode(utf8));
    }

  private:
    const QCollator& collator_;
    Utf8Decoder decoder_;
};

// A sort column after the first, keyed per stored row; asked only where the columns before it
// tie.
class TieColumn {
  public:
    TieColumn(const QueryStore& store, int field, bool descending, TextKeys& textKey)
        : descending_(descending), words_(keyWords(store, field)), cells_(store.storedRows()),
          texts_(store.storedRows()) {
        const bool dates = holdsDates(store, field);
        for (uint32_t row : store.order) {
            cells_[row] = sortCell(store, row, field, dates, words_);
            if (cells_[row].rank == Text)
                texts_[row] = textKey(cells_[row].text);
        }
    }

    int compare(uint32_t a, uint32_t b) const {
        const int c = compareAscending(a, b);
        return descending_ ? -c : c;
    }

  private:
    int compareAscending(uint32_t a, uint32_t b) const {
        const SortCell& x = cells_[a];
        const SortCell& y = cells_[b];
        if (x.rank != y.rank)
            return sign(x.rank, y.rank);
        switch (x.rank) {
        case Number:
            return compareNumbers(x.number, y.number);
        case Text:
            return texts_[a]->compare(*texts_[b]);
        case Bytes:
            return sign(x.text, y.text);
        default:
            return 0;
        }
    }

    bool descending_;
    KeyWords words_; // the cells' texts point into it
    std::vector<SortCell> cells_;
    std::vector<std::optional<QCollatorSortKey>> texts_;
};

class TieColumns {
  public:
    void add(const QueryStore& store, int field, bool descending, TextKeys& textKey) {
        columns_.emplace_back(store, field, descending, textKey);
    }
    bool empty() const { return columns_.empty(); }
    int compare(uint32_t a, uint32_t b) const {
        for (const TieColumn& column : columns_)
            if (const int c = column.compare(a, b))
                return c;
        return 0;
    }

  private:
    std::vector<TieColumn> columns_;
};

// Empty cells have nothing to compare but the ties.
struct NoKeys {
    int operator[](size_t) const { return 0; }
};

// Sorts one rank's rows stably by their keys (keys[i] belongs to rows[i]), then by the ties.
template <class Keys, class Compare>
void sortPart(std::vector<uint32_t>& rows, const Keys& keys, Compare compareKeys, bool descending,
              const TieColumns& ties) {
    std::vector<uint32_t> index(rows.size());
    std::iota(index.begin(), index.end(), 0u);
    std::stable_sort(index.begin(), index.end(), [&](uint32_t a, uint32_t b) {
        if (const int c = compareKeys(keys[a], keys[b]))
            return descending ? c > 0 : c < 0;
        return !ties.empty() && ties.compare(rows[a], rows[b]) < 0;
    });
    std::vector<uint32_t> sorted(rows.size());
    for (size_t i = 0; i < index.size(); ++i)
        sorted[i] = rows[index[i]];
    rows.swap(sorted);
}

// The first sort column splits the rows by rank, each part in stored order beside its own
// keys, so most comparisons look at one plain array of keys and nothing else.
class FirstColumn {
  public:
    FirstColumn(const QueryStore& store, int field, TextKeys& textKey) {
        // Unused room is never touched, so reserving for every row costs no memory.
        for (auto& rows : rows_)
            rows.reserve(store.order.size());
        numbers_.reserve(store.order.size());
        texts_.reserve(store.order.size());
        bytes_.reserve(store.order.size());
        const bool dates = holdsDates(store, field);
        const KeyWords words = keyWords(store, field);
        for (uint32_t row : store.order)
            add(row, sortCell(store, row, field, dates, words), textKey);
    }

    void sort(bool descending, const TieColumns& ties) {
        if (!ties.empty())
            sortPart(
                rows_[Empty], NoKeys{}, [](int, int) { return 0; }, descending, ties);
        sortPart(rows_[Number], numbers_, compareNumbers, descending, ties);
        sortPart(
            rows_[Text], texts_,
            [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b); },
            descending, ties);
        sortPart(
            rows_[Bytes], bytes_, [](std::string_view a, std::string_view b) { return sign(a, b); },
            descending, ties);
        if (descending)
            std::reverse(rows_.begin(), rows_.end());
    }

    void writeTo(std::vector<uint32_t>& order) const {
        auto out = order.begin();
        for (const auto& rows : rows_)
            out = std::copy(rows.begin(), rows.end(), out);
    }

  private:
    void add(uint32_t row, const SortCell& cell, TextKeys& textKey) {
        rows_[cell.rank].push_back(row);
        if (cell.rank == Number)
            numbers_.push_back(cell.number);
        else if (cell.rank == Text)
            texts_.push_back(textKey(cell.text));
        else if (cell.rank == Bytes)
            bytes_.push_back(cell.text);
    }

    std::array<std::vector<uint32_t>, RankCount> rows_;
    std::vector<NumberKey> numbers_;
    std::vector<QCollatorSortKey> texts_;
    std::vector<std::string_view> bytes_;
};

// Each stored row is in order at most once, so a full order is simply every row.
void putInStoredOrder(std::vector<uint32_t>& order, size_t storedRows) {
    if (order.size() == storedRows)
        std::iota(order.begin(), order.end(), 0u);
    else
        std::sort(order.begin(), order.end());
}

QCollator chineseCollator() {
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive); // letters compare as the database does
    return collator;
}

} // namespace

void sortRows(QueryStore& store, const QList<QPair<int, bool>>& keys) {
    putInStoredOrder(store.order, store.storedRows());
    if (keys.isEmpty())
        return;
    const QCollator collator = chineseCollator();
    TextKeys textKey(collator);
    TieColumns ties;
    for (qsizetype i = 1; i < keys.size(); ++i)
        ties.add(store, keys[i].first, keys[i].second, textKey);
    FirstColumn first(store, keys[0].first, textKey);
    first.sort(keys[0].second, ties);
    first.writeTo(store.order); // only now, so a failure above leaves the rows in stored order
}
