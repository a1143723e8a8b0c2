#include "connectors/common/packed_rows.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace oq::connectors {
namespace {

TEST(PackedRows, GiveBackEveryValueWithItsKindRowAfterRow) {
  const std::vector<Variant> values = {
      Variant(),
      Variant::Null(),
      Variant::Boolean(true),
      Variant::Boolean(false),
      Variant::Integer(-32768),
      Variant::Long(-2147483647 - 1),
      Variant::LongLong(1LL << 53),
      Variant::Double(0.1 + 0.2),
      Variant::String(""),
      Variant::String(std::string("a\0b", 3)),
      Variant::String(std::string(70000, 'x')),
      Variant::String("añil"),
  };
  // Enough rows that the blocks grow, and move, several times.
  constexpr std::size_t kRows = 2000;
  auto rows = std::make_shared<PackedRows>(values.size());
  for (std::size_t r = 0; r < kRows; ++r) {
    EXPECT_EQ(rows->rowCount(), r);
    for (const Variant& value : values) rows->Add(value);
  }
  const SnapshotRecordset::CellReader read = PackedRows::Reader(rows);
  for (std::size_t r : {std::size_t{0}, kRows / 2, kRows - 1}) {
    for (std::size_t c = 0; c < values.size(); ++c) {
      EXPECT_EQ(read(r, c), values[c]) << "row " << r << ", column " << c;
      EXPECT_EQ(read(r, c).kind(), values[c].kind());
    }
  }
  EXPECT_THROW(rows->Add(Variant::Object(nullptr)), std::invalid_argument);
}

}  // namespace
}  // namespace oq::connectors
