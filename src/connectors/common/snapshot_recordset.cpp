#include "connectors/common/snapshot_recordset.h"

#include <strings.h>

#include <utility>

#include "host/failure.h"

namespace oq::connectors {

namespace {
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}
}  // namespace

SnapshotField::SnapshotField(const SnapshotRecordset& owner, std::string name, std::size_t column)
    : owner_(owner), name_(std::move(name)), column_(column) {}

Variant SnapshotField::Value() const { return owner_.CurrentValue(column_); }

SnapshotRecordset::SnapshotRecordset(Options options, std::vector<std::string> names,
                                     std::size_t rowCount, CellReader read)
    : options_(std::move(options)), rowCount_(rowCount), read_(std::move(read)) {
  fields_.reserve(names.size());
  firstOfName_.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    bool first = true;
    for (std::size_t j = 0; j < i && first; ++j) first = !SameName(fields_[j]->Name(), names[i]);
    firstOfName_.push_back(first);
    fields_.push_back(std::make_unique<SnapshotField>(*this, std::move(names[i]), i));
  }
}

SnapshotRecordset::SnapshotRecordset(Options options, std::vector<std::string> names,
                                     std::vector<Row> rows)
    : SnapshotRecordset(std::move(options), std::move(names), 0, nullptr) {
  // The count is taken before the rows move into the reader.
  rowCount_ = rows.size();
  read_ = [rows = std::make_shared<const std::vector<Row>>(std::move(rows))](
              std::size_t row, std::size_t column) { return (*rows)[row][column]; };
}

std::vector<std::string> SnapshotRecordset::Names() const {
  RequireOpen();
  std::vector<std::string> names;
  names.reserve(fields_.size());
  for (const auto& field : fields_) names.push_back(field->Name());
  return names;
}

bool SnapshotRecordset::HasNames(const std::vector<std::string>& names) const {
  RequireOpen();
  if (names.size() != fields_.size()) return false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (fields_[i]->Name() != names[i]) return false;
  }
  return true;
}

std::vector<SnapshotRecordset::Row> SnapshotRecordset::AllRows() const {
  RequireOpen();
  std::vector<Row> rows(rowCount_);
  for (std::size_t r = 0; r < rowCount_; ++r) {
    rows[r].reserve(fields_.size());
    for (std::size_t c = 0; c < fields_.size(); ++c) rows[r].push_back(read_(r, c));
  }
  return rows;
}

std::size_t SnapshotRecordset::RowCount() const {
  RequireOpen();
  return rowCount_;
}

const SnapshotRecordset::CellReader& SnapshotRecordset::Reader() const {
  RequireOpen();
  return read_;
}

void SnapshotRecordset::RequireOpen() const {
  if (closed_) throw err::runtime(err::kOperationOnClosed, options_.source);
}

Field& SnapshotRecordset::Fields(const std::string& name) {
  RequireOpen();
  // Readers mostly ask for the columns in their order, so the one after the last found is tried
  // first; it is taken only when it is the first field of its name.
  const std::size_t count = fields_.size();
  if (nextField_ < count && firstOfName_[nextField_] &&
      SameName(fields_[nextField_]->Name(), name)) {
    return *fields_[std::exchange(nextField_, nextField_ + 1)];
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (SameName(fields_[i]->Name(), name)) {
      nextField_ = i + 1;
      return *fields_[i];
    }
  }
  Failure notFound = err::runtime(err::kItemNotFound, options_.source);
  if (!options_.nameInNotFound) throw notFound;
  throw Failure(notFound.number(), notFound.description() + " (" + name + ")", options_.source);
}

bool SnapshotRecordset::Eof() const {
  RequireOpen();
  return position_ >= rowCount_;
}

void SnapshotRecordset::MoveFirst() {
  RequireOpen();
  position_ = 0;
}

void SnapshotRecordset::MoveNext() {
  RequireOpen();
  if (position_ >= rowCount_) throw err::runtime(err::kNoCurrentRecord, options_.source);
  ++position_;
}

void SnapshotRecordset::Close() {
  closed_ = true;
  rowCount_ = 0;
  read_ = nullptr;  // drops the rows the reader holds
}

Variant SnapshotRecordset::CurrentValue(std::size_t column) const {
  RequireOpen();
  if (position_ >= rowCount_) throw err::runtime(err::kNoCurrentRecord, options_.source);
  return read_(position_, column);
}

}  // namespace oq::connectors
