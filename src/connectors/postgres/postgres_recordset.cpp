#include "connectors/postgres/postgres_recordset.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <pqxx/field>
#include <string_view>

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

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

Variant ValueOf(const pqxx::field& field) {
  if (field.is_null()) return Variant::Null();
  const std::string_view text(field.c_str(), field.size());
  switch (field.type()) {
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

// A column of the record set. It reads whatever row the record set is on, so the one Field per
// column that Fields hands out stays right across MoveNext.
class PostgresRecordset::ColumnField : public Field {
 public:
  ColumnField(const PostgresRecordset& owner, pqxx::row::size_type column, std::string name)
      : owner_(owner), column_(column), name_(std::move(name)) {}

  const std::string& Name() const override { return name_; }

  Variant Value() const override {
    owner_.RequireOpen();
    if (owner_.Eof()) throw err::runtime(err::kNoCurrentRecord, "PostgreSQL");
    return ValueOf(owner_.rows_[owner_.row_][column_]);
  }

 private:
  const PostgresRecordset& owner_;  // outlives the field, which it owns
  pqxx::row::size_type column_;
  std::string name_;
};

PostgresRecordset::PostgresRecordset(pqxx::result rows) : rows_(std::move(rows)) {
  for (pqxx::row::size_type column = 0; column < rows_.columns(); ++column) {
    fields_.push_back(std::make_unique<ColumnField>(*this, column, rows_.column_name(column)));
  }
}

PostgresRecordset::~PostgresRecordset() = default;

Field& PostgresRecordset::Fields(const std::string& name) {
  RequireOpen();
  const std::string wanted = Lower(name);
  for (const auto& field : fields_) {
    if (Lower(field->Name()) == wanted) return *field;
  }
  throw err::runtime(err::kItemNotFound, "PostgreSQL");
}

bool PostgresRecordset::Eof() const {
  RequireOpen();
  return row_ >= rows_.size();
}

void PostgresRecordset::MoveFirst() {
  RequireOpen();
  row_ = 0;
}

void PostgresRecordset::MoveNext() {
  RequireOpen();
  if (Eof()) throw err::runtime(err::kNoCurrentRecord, "PostgreSQL");
  ++row_;
}

void PostgresRecordset::Close() {
  closed_ = true;
  rows_.clear();
}

void PostgresRecordset::RequireOpen() const {
  if (closed_) throw err::runtime(err::kOperationOnClosed, "PostgreSQL");
}

}  // namespace oq::postgres
