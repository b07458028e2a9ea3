#include "QuerySort.h"

#include "DisplayFormat.h"
#include "QueryStore.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <optional>

namespace {

enum Rank : uint8_t { Empty, Number, Text, Bytes };

// One sort column, turned into comparable keys once per row before sorting.
class SortColumn {
  public:
    SortColumn(const QueryStore& store, int field, bool descending, const QCollator& collator)
        : descending_(descending), rank_(store.storedRows()), isWhole_(store.storedRows()),
          whole_(store.storedRows()), real_(store.storedRows()), text_(store.storedRows()),
          bytes_(store.storedRows()) {
        const bool dates = store.fields[size_t(field)].kind == FieldKind::DateTime;
        for (uint32_t row : store.order)
            prepare(store, row, field, dates, collator);
    }

    int compare(uint32_t a, uint32_t b) const {
        const int c = compareAscending(a, b);
        return descending_ ? -c : c;
    }

  private:
    void prepare(const QueryStore& store, uint32_t row, int field, bool dates,
                 const QCollator& collator) {
        switch (store.type(row, field)) {
        case CellType::Null:
            rank_[row] = Empty;
            break;
        case CellType::Integer:
            setNumber(row, store.integer(row, field), true);
            break;
        case CellType::Float:
            rank_[row] = Number;
            real_[row] = store.real(row, field);
            break;
        case CellType::Text: {
            const std::string_view text = store.text(row, field);
            if (text.empty()) {
                rank_[row] = Empty;
            } else if (const auto key = dates ? storedDateTimeKey(text) : std::nullopt) {
                setNumber(row, *key, true);
            } else {
                rank_[row] = Text;
                text_[row] =
                    collator.sortKey(QString::fromUtf8(text.data(), qsizetype(text.size())));
            }
            break;
        }
        case CellType::Blob:
            rank_[row] = Bytes;
            bytes_[row] = store.text(row, field);
            break;
        }
    }

    void setNumber(uint32_t row, qint64 value, bool whole) {
        rank_[row] = Number;
        isWhole_[row] = whole;
        whole_[row] = value;
        real_[row] = double(value);
    }

    static int sign(auto a, auto b) { return a < b ? -1 : b < a ? 1 : 0; }

    int compareAscending(uint32_t a, uint32_t b) const {
        if (rank_[a] != rank_[b])
            return sign(rank_[a], rank_[b]);
        switch (rank_[a]) {
        case Number:
            if (isWhole_[a] && isWhole_[b])
                return sign(whole_[a], whole_[b]);
            return sign(real_[a], real_[b]);
        case Text:
            return text_[a]->compare(*text_[b]);
        case Bytes:
            return sign(bytes_[a], bytes_[b]);
        default:
            return 0;
        }
    }

    bool descending_;
    std::vector<uint8_t> rank_;
    std::vector<uint8_t> isWhole_;
    std::vector<qint64> whole_; // exact, where a double would round
    std::vector<double> real_;
    std::vector<std::optional<QCollatorSortKey>> text_;
    std::vector<std::string_view> bytes_;
};

QCollator chineseCollator() {
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive); // letters compare as the database does
    return collator;
}

} // namespace

void sortRows(QueryStore& store, const QList<QPair<int, bool>>& keys) {
    std::sort(store.order.begin(), store.order.end()); // stored order is the database's order
    if (keys.isEmpty())
        return;
    const QCollator collator = chineseCollator();
    std::vector<SortColumn> columns;
    columns.reserve(size_t(keys.size()));
    for (const auto& [field, descending] : keys)
        columns.emplace_back(store, field, descending, collator);
    std::stable_sort(store.order.begin(), store.order.end(), [&](uint32_t a, uint32_t b) {
        for (const SortColumn& column : columns)
            if (const int c = column.compare(a, b))
                return c < 0;
        return false;
    });
}
