#include "connectors/common/packed_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace oq::connectors {

namespace {

template <typename T>
void Put(char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <typename T>
T Get(const char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

char* PackedRows::Block::Extend(std::size_t bytes) {
  if (size + bytes > capacity) {
    const std::size_t wanted = std::max({size + bytes, capacity * 2, std::size_t{16}});
    void* grown = std::realloc(data, wanted);
    if (grown == nullptr) throw std::bad_alloc();
    data = static_cast<char*>(grown);
    capacity = wanted;
  }
  char* const at = data + size;
  size += bytes;
  return at;
}

PackedRows::PackedRows(std::size_t columns) : columns_(std::max<std::size_t>(columns, 1)) {}

PackedRows::~PackedRows() {
  std::free(bytes_.data);
  std::free(offsets_.data);
}

char* PackedRows::NextCell(std::size_t bytes) {
  if (bytes_.size + bytes > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("more than 4 GB of rows");
  }
  Put(offsets_.Extend(sizeof(std::uint32_t)), static_cast<std::uint32_t>(bytes_.size));
  ++cells_;
  return bytes_.Extend(bytes);
}

void PackedRows::AddText(std::string_view text) {
  char* at = NextCell(1 + sizeof(std::uint32_t) + text.size());
  *at = static_cast<char>(Variant::Kind::kString);
  Put(at + 1, static_cast<std::uint32_t>(text.size()));
  if (!text.empty()) std::memcpy(at + 1 + sizeof(std::uint32_t), text.data(), text.size());
}

void PackedRows::Add(const Variant& value) {
  const auto put = [this, kind = value.kind()](auto payload) {
    char* at = NextCell(1 + sizeof payload);
    *at = static_cast<char>(kind);
    Put(at + 1, payload);
  };
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull:
      *NextCell(1) = static_cast<char>(value.kind());
      return;
    case Variant::Kind::kBoolean:
      return put(static_cast<char>(value.asBoolean()));
    case Variant::Kind::kInteger:
      return put(static_cast<std::int16_t>(value.toInt64()));
    case Variant::Kind::kLong:
      return put(static_cast<std::int32_t>(value.toInt64()));
    case Variant::Kind::kLongLong:
      return put(value.toInt64());
    case Variant::Kind::kDouble:
      return put(value.toDouble());
    case Variant::Kind::kString:
      return AddText(value.asString());
    case Variant::Kind::kObject:
      break;
  }
  throw std::invalid_argument("a packed row holds no object");
}

Variant PackedRows::Cell(std::size_t row, std::size_t column) const {
  const auto offset = Get<std::uint32_t>(offsets_.data + (row * columns_ + column) * 4);
  const char* at = bytes_.data + offset;
  const char* payload = at + 1;
  switch (static_cast<Variant::Kind>(*at)) {
    case Variant::Kind::kEmpty:
      return Variant();
    case Variant::Kind::kNull:
      return Variant::Null();
    case Variant::Kind::kBoolean:
      return Variant::Boolean(*payload != 0);
    case Variant::Kind::kInteger:
      return Variant::Integer(Get<std::int16_t>(payload));
    case Variant::Kind::kLong:
      return Variant::Long(Get<std::int32_t>(payload));
    case Variant::Kind::kLongLong:
      return Variant::LongLong(Get<std::int64_t>(payload));
    case Variant::Kind::kDouble:
      return Variant::Double(Get<double>(payload));
    case Variant::Kind::kString:
    case Variant::Kind::kObject:
      break;
  }
  const auto size = Get<std::uint32_t>(payload);
  return Variant::String(std::string(payload + sizeof(std::uint32_t), size));
}

SnapshotRecordset::CellReader PackedRows::Reader(std::shared_ptr<const PackedRows> rows) {
  return [rows = std::move(rows)](std::size_t row, std::size_t column) {
    return rows->Cell(row, column);
  };
}

}  // namespace oq::connectors
