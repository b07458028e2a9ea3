#include "QueryStore.h"

#include "AppError.h"

#include <algorithm>
#include <bit>
#include <cstring>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Big blocks are filled at once, so their pages are mapped in one call rather than one fault
// at a time; where the system cannot, the pages come in as they are written.
void prefault(void* data, size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t page = 4096;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace

const char* TextArena::add(std::string_view text) {
    // The length goes first in 7-bit groups: most cells are short, so it mostly takes one byte.
    uint8_t length[5];
    size_t lengthBytes = 0;
    for (auto n = uint32_t(text.size());; n >>= 7) {
        length[lengthBytes++] = uint8_t(n & 0x7f) | (n > 0x7f ? 0x80 : 0);
        if (n <= 0x7f)
            break;
    }
    const size_t need = lengthBytes + text.size();
    if (need > room_) {
        const size_t size = std::max(need, nextChunk_);
        nextChunk_ = std::min<size_t>(nextChunk_ * 2, 1 << 20);
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        free_ = chunks_.back().get();
        prefault(free_, size);
        room_ = size;
        held_ += size;
    }
    char* entry = free_;
    std::memcpy(entry, length, lengthBytes);
    if (!text.empty())
        std::memcpy(entry + lengthBytes, text.data(), text.size());
    free_ += need;
    room_ -= need;
    return entry;
}

std::string_view TextArena::read(const char* entry) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(entry);
    uint32_t length = 0;
    int shift = 0;
    while (*bytes & 0x80) {
        length |= uint32_t(*bytes++ & 0x7f) << shift;
        shift += 7;
    }
    length |= uint32_t(*bytes++) << shift;
    return {reinterpret_cast<const char*>(bytes), length};
}

void TextArena::adopt(TextArena&& other) {
    for (auto& chunk : other.chunks_)
        chunks_.push_back(std::move(chunk));
    held_ += other.held_;
    other = TextArena();
}

QueryStore::QueryStore(const ResultSet& result)
    : columnCount_(result.columnCount()), row_(size_t(columnCount_)) {
    for (int i = 0; i < columnCount_; ++i) {
        const ColumnInfo& c = result.column(i);
        columns.push_back(c);
        fields.push_back({c.name, c.kind, c.size, QString()});
    }
}

void QueryStore::putCell(Block& block, size_t index, const CellValue& cell) {
    uint64_t payload = 0;
    switch (cell.type) {
    case CellType::Integer:
        payload = uint64_t(cell.integer);
        break;
    case CellType::Float:
        payload = std::bit_cast<uint64_t>(cell.real);
        break;
    case CellType::Text:
    case CellType::Blob:
        payload = uint64_t(reinterpret_cast<uintptr_t>(arena_.add(cell.text)));
        break;
    case CellType::Null:
        break;
    }
    block.cells[index] = payload;
    block.types[index] = uint8_t(cell.type);
}

size_t QueryStore::newRow() {
    if ((rows_ & (blockRows - 1)) == 0) {
        Block& fresh = blocks_.emplace_back();
        if (rows_ > 0) {
            const size_t cells = size_t(blockRows) * size_t(columnCount_);
            fresh.cells.reserve(cells);
            fresh.types.reserve(cells);
            prefault(fresh.cells.data(), cells * sizeof(uint64_t));
            prefault(fresh.types.data(), cells);
        }
    }
    Block& last = blocks_.back();
    const size_t base = last.cells.size();
    last.cells.resize(base + size_t(columnCount_));
    last.types.resize(base + size_t(columnCount_));
    return base;
}

uint32_t QueryStore::addRow(const ResultSet& result) {
    result.readRow(row_.data());
    const size_t base = newRow();
    for (int c = 0; c < columnCount_; ++c)
        putCell(blocks_.back(), base + size_t(c), row_[size_t(c)]);
    return uint32_t(rows_++);
}

void QueryStore::appendRows(QueryStore&& other, const std::vector<uint32_t>& rows) {
    if (other.columnCount_ != columnCount_)
        throw AppError("追加的记录与查询的字段不同");
    arena_.adopt(std::move(other.arena_));
    order.reserve(order.size() + rows.size());
    for (uint32_t row : rows) {
        const size_t base = newRow();
        const Block& from = other.block(row);
        const size_t at = other.slot(row, 0);
        Block& to = blocks_.back();
        std::copy_n(from.cells.begin() + ptrdiff_t(at), columnCount_,
                    to.cells.begin() + ptrdiff_t(base));
        std::copy_n(from.types.begin() + ptrdiff_t(at), columnCount_,
                    to.types.begin() + ptrdiff_t(base));
        order.push_back(uint32_t(rows_++));
    }
    orderChanged();
}

void QueryStore::setRow(uint32_t row, const ResultSet& result) {
    result.readRow(row_.data());
    Block& target = blocks_[row >> blockShift];
    for (int c = 0; c < columnCount_; ++c)
        putCell(target, slot(row, c), row_[size_t(c)]);
}

std::unique_ptr<QueryStore> QueryStore::read(Connection& connection, const SqlCommand& command,
                                             const std::atomic_bool* abandoned) {
    auto result = connection.query(command);
    auto store = std::make_unique<QueryStore>(*result);
    store->load(*result, abandoned);
    store->current = store->order.empty() ? -1 : 0;
    store->eof = store->order.empty();
    return store;
}

void QueryStore::load(ResultSet& result, const std::atomic_bool* abandoned) {
    loadSome(result, SIZE_MAX, abandoned);
}

bool QueryStore::loadSome(ResultSet& result, size_t most, const std::atomic_bool* abandoned) {
    // Looked at once a block, so the check costs nothing per row.
    bool more = false;
    for (size_t taken = 0; taken < most && (more = result.next()); ++taken) {
        if (abandoned && (rows_ & (blockRows - 1)) == 0 && abandoned->load())
            throw AppError("查询已放弃");
        addRow(result);
    }
    if (!blocks_.empty()) {
        blocks_.back().cells.shrink_to_fit();
        blocks_.back().types.shrink_to_fit();
    }
    order.resize(rows_);
    for (size_t i = 0; i < rows_; ++i)
        order[i] = uint32_t(i);
    orderChanged();
    inferComputedKinds();
    return more;
}

void QueryStore::readInParts(Connection& connection, const SqlCommand& command,
                             const std::function<void(std::unique_ptr<QueryStore>, bool)>& part,
                             const std::atomic_bool* abandoned) {
    auto result = connection.stream(command);
    // The first part fills a screen; the later ones grow, so a big result comes in few parts.
    size_t size = 1000;
    for (bool more = true; more; size = std::min<size_t>(size * 4, 64 * 1024)) {
        auto store = std::make_unique<QueryStore>(*result);
        more = store->loadSome(*result, size, abandoned);
        store->current = store->order.empty() ? -1 : 0;
        store->eof = store->order.empty();
        part(std::move(store), !more);
    }
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
    return std::bit_cast<double>(block(row).cells[slot(row, column)]);
}

std::string_view QueryStore::text(uint32_t row, int column) const {
    return TextArena::read(
        reinterpret_cast<const char*>(uintptr_t(block(row).cells[slot(row, column)])));
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
    size_t held = sizeof(*this) + blocks_.capacity() * sizeof(Block) +
                  row_.capacity() * sizeof(CellValue) + order.capacity() * sizeof(uint32_t) +
                  positions_.capacity() * sizeof(int32_t) + arena_.bytesHeld();
    for (const Block& b : blocks_)
        held += b.cells.capacity() * sizeof(uint64_t) + b.types.capacity();
    return held;
}
