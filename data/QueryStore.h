#pragma once

// The open result of a Query, kept compact: one 8-byte payload and one type byte per cell, in
// blocks of rows that never move, texts in a chunked arena, and an order vector from position
// to stored row. Cells become QString only when they are read.

#include "Engine.h"
#include "Query.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

// Texts live in chunks that never move, each prefixed by its length.
class TextArena {
  public:
    const char* add(std::string_view text);
    static std::string_view read(const char* entry);
    size_t bytesHeld() const { return held_; }
    // Takes over other's chunks, so entries made there stay valid here.
    void adopt(TextArena&& other);

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

    // Runs the command and reads its whole result. Once *abandoned is set the reading stops
    // with AppError, so a result nobody waits for is not finished.
    static std::unique_ptr<QueryStore> read(Connection& connection, const SqlCommand& command,
                                            const std::atomic_bool* abandoned = nullptr);

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

    void load(ResultSet& result, const std::atomic_bool* abandoned = nullptr); // every row left
    // The next rows of the result, at most most of them; false once the result has ended.
    bool loadSome(ResultSet& result, size_t most, const std::atomic_bool* abandoned = nullptr);
    // Runs the command and hands its rows over in parts as they arrive, the first soon and
    // later ones bigger; part() gets each with whether it is the last.
    static void readInParts(Connection& connection, const SqlCommand& command,
                            const std::function<void(std::unique_ptr<QueryStore>, bool last)>& part,
                            const std::atomic_bool* abandoned = nullptr);
    uint32_t addRow(const ResultSet& result);
    // Moves the given rows of other (same columns) to the end of this store and of its order;
    // other's texts are taken over, not copied, so other must not be read afterwards.
    void appendRows(QueryStore&& other, const std::vector<uint32_t>& rows);
    void setRow(uint32_t row, const ResultSet& result);

    size_t storedRows() const { return rows_; }
    CellType type(uint32_t row, int column) const {
        return CellType(block(row).types[slot(row, column)]);
    }
    qint64 integer(uint32_t row, int column) const {
        return qint64(block(row).cells[slot(row, column)]);
    }
    double real(uint32_t row, int column) const;
    std::string_view text(uint32_t row, int column) const; // also the bytes of a blob

    size_t bytesHeld() const;

  private:
    // A full block is allocated at once and never grows, so a big result is not copied as it
    // grows; the first block grows as needed, so a small result stays small.
    static constexpr int blockShift = 12;
    static constexpr uint32_t blockRows = 1u << blockShift;
    struct Block {
        std::vector<uint64_t> cells;
        std::vector<uint8_t> types;
    };
    const Block& block(uint32_t row) const { return blocks_[row >> blockShift]; }
    size_t slot(uint32_t row, int column) const {
        return size_t(row & (blockRows - 1)) * size_t(columnCount_) + size_t(column);
    }
    void putCell(Block& block, size_t index, const CellValue& cell);
    size_t newRow(); // room for one more row in the last block; the index of its first cell
    void inferComputedKinds();

    int columnCount_ = 0;
    size_t rows_ = 0;
    std::vector<Block> blocks_;
    std::vector<CellValue> row_; // the row being stored, as the result gave it
    TextArena arena_;
    mutable std::vector<int32_t> positions_;
    mutable bool positionsValid_ = false;
};
