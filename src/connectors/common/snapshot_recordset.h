#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/recordset.h"
#include "host/variant.h"

namespace oq::connectors {

class SnapshotRecordset;

// One column of a SnapshotRecordset. Owned by its record set; it reads the record set's current
// row every time Value is called.
class SnapshotField : public Field {
 public:
  SnapshotField(const SnapshotRecordset& owner, std::string name, std::size_t column);

  const std::string& Name() const override { return name_; }
  // Throws Failure 3704 when the owner is closed and 3021 when it is at end of file, and whatever
  // the owner's cell reader throws.
  Variant Value() const override;

 private:
  const SnapshotRecordset& owner_;  // outlives the field, which it owns
  std::string name_;
  std::size_t column_;
};

// A read-only, forward record set over rows held in memory since the statement ran, so it keeps
// no link to the connection and nothing written afterwards changes what it shows. Fields matches
// names without regard to case, the first column of a name winning when several share it.
// Failures carry the record-set numbers of err:: with the connection's source. Single-threaded.
class SnapshotRecordset : public Recordset {
 public:
  using Row = std::vector<Variant>;
  // The value of (row, column), row < the row count; called on every field read, so a connection
  // may keep its rows in their own form and convert them only when read.
  using CellReader = std::function<Variant(std::size_t row, std::size_t column)>;

  struct Options {
    std::string source;           // the Failure source, e.g. "SQLite"
    bool nameInNotFound = false;  // append " (name)" to the 3265 description
  };

  // `names` are the column names or aliases in statement order. The record set starts on its
  // first row (at end of file when `rowCount` is 0).
  SnapshotRecordset(Options options, std::vector<std::string> names, std::size_t rowCount,
                    CellReader read);
  // Over rows of values; every row has names.size() values.
  SnapshotRecordset(Options options, std::vector<std::string> names, std::vector<Row> rows);

  // The column names, and every row's values read now (wherever the record set stands), for a
  // record set of its own over the same rows. Throw what a field read throws, and 3704 when closed.
  std::vector<std::string> Names() const;
  // Whether the column names are `names`, in order (what Names() == names says, without a copy).
  // Throws 3704 when closed.
  bool HasNames(const std::vector<std::string>& names) const;
  std::vector<Row> AllRows() const;
  const Options& options() const { return options_; }
  // The row count and the cell reader, for another record set over the same rows: a reader never
  // changes its rows, so record sets may share it. Throw 3704 when closed.
  std::size_t RowCount() const;
  const CellReader& Reader() const;

  Field& Fields(const std::string& name) override;
  // The columns in statement order, for a host that reads whole rows whatever their columns.
  std::size_t FieldCount() const { return fields_.size(); }
  Field& FieldAt(std::size_t column) { return *fields_.at(column); }
  bool Eof() const override;
  void MoveFirst() override;
  void MoveNext() override;
  // Releases the rows; closing twice is harmless. The fields stay (callers may hold references)
  // but refuse to read.
  void Close() override;

 private:
  friend class SnapshotField;
  // The value of `column` in the current row, or the failure a field read must raise.
  Variant CurrentValue(std::size_t column) const;
  void RequireOpen() const;

  Options options_;
  std::vector<std::unique_ptr<SnapshotField>> fields_;
  std::size_t rowCount_;
  CellReader read_;
  std::size_t position_ = 0;
  std::vector<bool> firstOfName_;  // per field: no field before it has its name
  std::size_t nextField_ = 0;      // the field Fields tries first
  bool closed_ = false;
};

}  // namespace oq::connectors
