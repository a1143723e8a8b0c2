#include "connectors/sqlite/snapshot_recordset.h"

#include <strings.h>

#include "host/failure.h"

namespace oq::sqlite {

namespace {
constexpr const char* kSource = "SQLite";

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}
}  // namespace

SnapshotField::SnapshotField(const SnapshotRecordset& owner, std::string name, std::size_t column)
    : owner_(owner), name_(std::move(name)), column_(column) {}

Variant SnapshotField::Value() const { return owner_.CurrentValue(column_); }

SnapshotRecordset::SnapshotRecordset(std::vector<std::string> names, std::vector<Row> rows)
    : rows_(std::move(rows)) {
  fields_.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    fields_.push_back(std::make_unique<SnapshotField>(*this, std::move(names[i]), i));
  }
}

void SnapshotRecordset::RequireOpen() const {
  if (closed_) throw err::runtime(err::kOperationOnClosed, kSource);
}

Field& SnapshotRecordset::Fields(const std::string& name) {
  RequireOpen();
  // The first column of that name wins, as a driver's name lookup does when a query repeats one.
  for (const auto& field : fields_) {
    if (SameName(field->Name(), name)) return *field;
  }
  throw Failure(err::kItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal. (" +
                    name + ")",
                kSource);
}

bool SnapshotRecordset::Eof() const {
  RequireOpen();
  return position_ >= rows_.size();
}

void SnapshotRecordset::MoveFirst() {
  RequireOpen();
  position_ = 0;
}

void SnapshotRecordset::MoveNext() {
  RequireOpen();
  if (position_ >= rows_.size()) throw err::runtime(err::kNoCurrentRecord, kSource);
  ++position_;
}

void SnapshotRecordset::Close() {
  // Closing twice is harmless; the fields stay (callers may hold references) but refuse to read.
  closed_ = true;
  rows_.clear();
  rows_.shrink_to_fit();
}

Variant SnapshotRecordset::CurrentValue(std::size_t column) const {
  RequireOpen();
  if (position_ >= rows_.size()) throw err::runtime(err::kNoCurrentRecord, kSource);
  return rows_[position_][column];
}

}  // namespace oq::sqlite
