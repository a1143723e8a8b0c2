#include "connectors/postgres/postgres_recordset.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <pqxx/field>
#include <string_view>
#include <vector>

#include "host/failure.h"

namespace oq::postgres {

namespace {

// Type identifiers fixed in PostgreSQL's system catalogue (pg_type), the same on every server.
constexpr pqxx::oid kBoolOid = 16;
constexpr pqxx::oid kInt8Oid = 20;
constexpr pqxx::oid kInt2Oid = 21;
constexpr pqxx::oid kInt4Oid = 23;
constexpr pqxx::oid kFloat4Oid = 700;
constexpr pqxx::oid kFloat8Oid = 701;
constexpr pqxx::oid kNumericOid = 1700;

std::int64_t ParseInteger(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw err::runtime(err::kTypeMismatch, "PostgreSQL");
  }
  return value;
}

// from_chars reads the server's text form independently of the process locale, and takes the
// special values PostgreSQL writes ("NaN", "Infinity", "-Infinity").
double ParseReal(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    // A numeric beyond the range of a double: the overflow a conversion to Double would raise.
    throw err::runtime(err::kOverflow, "PostgreSQL");
  }
  if (error != std::errc() || end != text.data() + text.size()) {
    throw err::runtime(err::kTypeMismatch, "PostgreSQL");
  }
  return value;
}

}  // namespace

Variant ValueOf(const pqxx::field& field) {
  return ValueOf(field.type(), std::string_view(field.c_str(), field.size()), field.is_null());
}

Variant ValueOf(unsigned typeOid, std::string_view text, bool isNull) {
  if (isNull) return Variant::Null();
  switch (typeOid) {
    case kBoolOid:
      return Variant::Boolean(text == "t");
    case kInt2Oid:
    case kInt4Oid:
      return Variant::Long(static_cast<std::int32_t>(ParseInteger(text)));
    case kInt8Oid: {
      const std::int64_t value = ParseInteger(text);
      if (value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max()) {
        return Variant::Long(static_cast<std::int32_t>(value));
      }
      return Variant::LongLong(value);
    }
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
      return Variant::Double(ParseReal(text));
    default:
      return Variant::String(std::string(text));
  }
}

namespace {

// A result's cells as the record set reads them, one at a time. A row and a field of libpqxx each
// hold a copy of their result; the row being read is kept, and the column types asked once.
class ResultCells {
 public:
  explicit ResultCells(pqxx::result rows) : rows_(std::move(rows)) {
    for (pqxx::row::size_type column = 0; column < rows_.columns(); ++column) {
      types_.push_back(rows_.column_type(column));
    }
  }
  Variant Read(std::size_t row, std::size_t column) {
    if (!current_ || currentIndex_ != row) {
      current_.emplace(rows_[static_cast<pqxx::result::size_type>(row)]);
      currentIndex_ = row;
    }
    const pqxx::field field = (*current_)[static_cast<pqxx::row::size_type>(column)];
    return ValueOf(types_[column], std::string_view(field.c_str(), field.size()), field.is_null());
  }

 private:
  pqxx::result rows_;
  std::vector<pqxx::oid> types_;
  std::optional<pqxx::row> current_;
  std::size_t currentIndex_ = 0;
};

}  // namespace

std::shared_ptr<connectors::SnapshotRecordset> MakeRecordset(pqxx::result rows) {
  std::vector<std::string> names;
  for (pqxx::row::size_type column = 0; column < rows.columns(); ++column) {
    names.emplace_back(rows.column_name(column));
  }
  const std::size_t count = rows.size();
  // Values are converted when read, so a number the component cannot hold fails at its field.
  return std::make_shared<connectors::SnapshotRecordset>(
      connectors::SnapshotRecordset::Options{"PostgreSQL"}, std::move(names), count,
      [cells = std::make_shared<ResultCells>(std::move(rows))](std::size_t row,
                                                               std::size_t column) {
        return cells->Read(row, column);
      });
}

}  // namespace oq::postgres
