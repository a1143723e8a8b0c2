#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "connectors/common/snapshot_recordset.h"
#include "host/variant.h"

namespace oq::connectors {

// Rows of values packed into one block of bytes, for a record set that holds thousands of rows
// (a filtered copy reads every item of an interno before it writes the first): a cell costs its
// kind, its bytes and a 4-byte offset, where a Variant costs 40 bytes and each row an allocation
// of its own. The blocks grow in place where the allocator can, so that a large result does not
// need twice its size while it is read. Values come back exactly as they went in, kind included.
class PackedRows {
 public:
  explicit PackedRows(std::size_t columns);
  ~PackedRows();
  PackedRows(const PackedRows&) = delete;
  PackedRows& operator=(const PackedRows&) = delete;

  // Appends the next cell, row after row. Throws std::invalid_argument for an Object (rows hold
  // none) and std::length_error past 4 GB of cells.
  void Add(const Variant& value);
  // The same as Add(Variant::String(text)), without making that Variant.
  void AddText(std::string_view text);

  // The complete rows added so far.
  std::size_t rowCount() const { return cells_ / columns_; }
  // The value of a cell of a complete row.
  Variant Cell(std::size_t row, std::size_t column) const;

  // A record set's reader of `rows`, which it keeps alive.
  static SnapshotRecordset::CellReader Reader(std::shared_ptr<const PackedRows> rows);

 private:
  // Room for `bytes` more bytes of cells, and the next cell's offset noted.
  char* NextCell(std::size_t bytes);
  // Bytes that grow with realloc.
  struct Block {
    char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
    char* Extend(std::size_t bytes);
  };

  std::size_t columns_;
  std::size_t cells_ = 0;
  Block bytes_;
  Block offsets_;  // a std::uint32_t per cell
};

}  // namespace oq::connectors
