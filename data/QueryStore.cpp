#include "QueryStore.h"

#include <algorithm>
#include <bit>
#include <cstring>

const char* TextArena::add(std::string_view text) {
    const size_t need = sizeof(uint32_t) + text.size();
    if (need > room_) {
        const size_t size = std::max(need, nextChunk_);
        nextChunk_ = std::min<size_t>(nextChunk_ * 2, 1 << 20);
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        free_ = chunks_.back().get();
        room_ = size;
        held_ += size;
    }
    char* entry = free_;
    const auto length = uint32_t(text.size());
    std::memcpy(entry, &length, sizeof length);
    if (!text.empty())
        std::memcpy(entry + sizeof length, text.data(), text.size());
    free_ += need;
    room_ -= need;
    return entry;
}

std::string_view TextArena::read(const char* entry) {
    uint32_t length;
    std::memcpy(&length, entry, sizeof length);
    return {entry + sizeof length, length};
}

QueryStore::QueryStore(const ResultSet& result) : columnCount_(result.columnCount()) {
    for (int i = 0; i < columnCount_; ++i) {
        const ColumnInfo& c = result.column(i);
        columns.push_back(c);
        fields.push_back({c.name, c.kind, c.size, QString()});
    }
}

void QueryStore::putCell(size_t index, const ResultSet& result, int column) {
    const CellType type = result.type(column);
    uint64_t payload = 0;
    switch (type) {
    case CellType::Integer:
        payload = uint64_t(result.toInt64(column));
        break;
    case CellType::Float:
        payload = std::bit_cast<uint64_t>(result.toDouble(column));
        break;
    case CellType::Text:
    case CellType::Blob:
        payload = uint64_t(reinterpret_cast<uintptr_t>(arena_.add(result.text(column))));
        break;
    case CellType::Null:
        break;
    }
    cells_[index] = payload;
    types_[index] = uint8_t(type);
}

uint32_t QueryStore::addRow(const ResultSet& result) {
    const size_t base = cells_.size();
    cells_.resize(base + size_t(columnCount_));
    types_.resize(base + size_t(columnCount_));
    for (int c = 0; c < columnCount_; ++c)
        putCell(base + size_t(c), result, c);
    return uint32_t(rows_++);
}

void QueryStore::setRow(uint32_t row, const ResultSet& result) {
    for (int c = 0; c < columnCount_; ++c)
        putCell(at(row, c), result, c);
}

void QueryStore::load(ResultSet& result) {
    while (result.next())
        addRow(result);
    cells_.shrink_to_fit();
    types_.shrink_to_fit();
    order.resize(rows_);
    for (size_t i = 0; i < rows_; ++i)
        order[i] = uint32_t(i);
    orderChanged();
    inferComputedKinds();
}

// A computed column declares no type; its first value tells what it holds.
void QueryStore::inferComputedKinds() {
    for (int c = 0; c < columnCount_; ++c) {
        FieldDef& f = fields[size_t(c)];
        if (!columns[size_t(c)].table.isEmpty() || f.kind != FieldKind::Text || f.size != 0)
            continue;
        for (uint32_t r = 0; r < rows_; ++r) {
            const CellType t = type(r, c);
            if (t == CellType::Null)
                continue;
            f.kind = t == CellType::Integer ? FieldKind::LargeInt
                     : t == CellType::Float ? FieldKind::Float
                     : t == CellType::Blob  ? FieldKind::Bytes
                                            : FieldKind::Text;
            break;
        }
        columns[size_t(c)].kind = f.kind;
    }
}

double QueryStore::real(uint32_t row, int column) const {
    return std::bit_cast<double>(cells_[at(row, column)]);
}

std::string_view QueryStore::text(uint32_t row, int column) const {
    return TextArena::read(reinterpret_cast<const char*>(uintptr_t(cells_[at(row, column)])));
}

int QueryStore::position(uint32_t row) const {
    if (!positionsValid_) {
        positions_.assign(rows_, -1);
        for (size_t i = 0; i < order.size(); ++i)
            positions_[order[i]] = int32_t(i);
        positionsValid_ = true;
    }
    return row < positions_.size() ? positions_[row] : -1;
}

size_t QueryStore::bytesHeld() const {
    return sizeof(*this) + cells_.capacity() * sizeof(uint64_t) + types_.capacity() +
           order.capacity() * sizeof(uint32_t) + positions_.capacity() * sizeof(int32_t) +
           arena_.bytesHeld();
}
