#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/recordset.h"
#include "host/variant.h"

namespace oq::sqlite {

class SnapshotRecordset;

// One column of a SnapshotRecordset. Owned by its record set; it reads the record set's current
// row every time Value is called.
class SnapshotField : public Field {
 public:
  SnapshotField(const SnapshotRecordset& owner, std::string name, std::size_t column);

  const std::string& Name() const override { return name_; }
  // Throws Failure 3704 when the owner is closed and 3021 when it is at end of file.
  Variant Value() const override;

 private:
  const SnapshotRecordset& owner_;
  std::string name_;
  std::size_t column_;
};

// A read-only, forward record set over rows copied into memory when the statement ran. Because it
// holds its own copy, nothing written to the database afterwards (even by the reader itself) can
// change what it shows. Failures carry the record-set numbers of err:: with source "SQLite".
class SnapshotRecordset : public Recordset {
 public:
  using Row = std::vector<Variant>;

  // `names` are the column names or aliases in statement order; every row has names.size()
  // values. The record set starts on its first row (at end of file when `rows` is empty).
  SnapshotRecordset(std::vector<std::string> names, std::vector<Row> rows);

  Field& Fields(const std::string& name) override;
  bool Eof() const override;
  void MoveFirst() override;
  void MoveNext() override;
  void Close() override;

  std::size_t RowCount() const { return rows_.size(); }

 private:
  friend class SnapshotField;
  // The value of `column` in the current row, or the failure a field read must raise.
  Variant CurrentValue(std::size_t column) const;
  void RequireOpen() const;

  std::vector<std::unique_ptr<SnapshotField>> fields_;
  std::vector<Row> rows_;
  std::size_t position_ = 0;
  bool closed_ = false;
};

}  // namespace oq::sqlite
