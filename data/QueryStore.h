#pragma once

// The open result of a Query, kept compact: one 8-byte payload and one type byte per cell,
// texts in a chunked arena, and an order vector from position to stored row. Cells become
// QString only when they are read.

#include "Engine.h"
#include "Query.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Texts live in chunks that never move, each prefixed by its 32-bit length.
class TextArena {
  public:
    const char* add(std::string_view text);
    static std::string_view read(const char* entry);
    size_t bytesHeld() const { return held_; }

  private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    char* free_ = nullptr;
    size_t room_ = 0;
    size_t nextChunk_ = 4096; // small results stay small; big ones grow to 1 MiB chunks
    size_t held_ = 0;
};

class QueryStore {
  public:
    explicit QueryStore(const ResultSet& result);

    std::vector<FieldDef> fields;
    std::vector<ColumnInfo> columns;
    std::vector<uint32_t> order; // position in the present order -> stored row
    // The inverse of order (stored row -> position, -1 when dropped), made when first asked
    // for after the order changed.
    int position(uint32_t row) const;
    void orderChanged() { positionsValid_ = false; }
    int current = -1;
    bool bof = true;
    bool eof = true;

    void load(ResultSet& result); // reads every remaining row
    uint32_t addRow(const ResultSet& result);
    void setRow(uint32_t row, const ResultSet& result);

    size_t storedRows() const { return rows_; }
    CellType type(uint32_t row, int column) const { return CellType(types_[at(row, column)]); }
    qint64 integer(uint32_t row, int column) const { return qint64(cells_[at(row, column)]); }
    double real(uint32_t row, int column) const;
    std::string_view text(uint32_t row, int column) const; // also the bytes of a blob

    size_t bytesHeld() const;

  private:
    size_t at(uint32_t row, int column) const { return size_t(row) * columnCount_ + column; }
    void putCell(size_t index, const ResultSet& result, int column);
    void inferComputedKinds();

    int columnCount_ = 0;
    size_t rows_ = 0;
    std::vector<uint64_t> cells_;
    std::vector<uint8_t> types_;
    TextArena arena_;
    mutable std::vector<int32_t> positions_;
    mutable bool positionsValid_ = false;
};
