#include "StatRows.h"

#include "data/Query.h"
#include "data/QueryStore.h"

namespace {

// The table read forward once, as a statement's result would be.
class TableRows : public ResultSet {
  public:
    explicit TableRows(const Stats::StatTable& table) : table_(table) {
        columns_.push_back({table.labelTitle, FieldKind::Text, 0, {}, {}, false});
        for (const QString& title : table.valueTitles)
            columns_.push_back({title, FieldKind::LargeInt, 0, {}, {}, false});
    }
    int columnCount() const override { return int(columns_.size()); }
    const ColumnInfo& column(int i) const override { return columns_.at(size_t(i)); }
    bool next() override {
        if (++row_ >= int(table_.rows.size()))
            return false;
        label_ = table_.rows[size_t(row_)].label.toStdString();
        return true;
    }
    CellType type(int i) const override { return i == 0 ? CellType::Text : CellType::Integer; }
    qint64 toInt64(int i) const override { return i == 0 ? 0 : current().values.at(size_t(i - 1)); }
    double toDouble(int i) const override { return double(toInt64(i)); }
    std::string_view text(int i) const override { return i == 0 ? label_ : std::string_view(); }

  private:
    const Stats::StatRow& current() const { return table_.rows.at(size_t(row_)); }
    const Stats::StatTable& table_;
    std::vector<ColumnInfo> columns_;
    int row_ = -1;
    std::string label_;
};

} // namespace

void showTable(Query& query, const Stats::StatTable& table) {
    TableRows rows(table);
    auto store = std::make_unique<QueryStore>(rows);
    store->load(rows);
    store->current = store->order.empty() ? -1 : 0;
    store->eof = store->order.empty();
    query.adopt({}, std::move(store));
}
