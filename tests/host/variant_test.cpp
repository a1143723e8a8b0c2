#include "host/variant.h"

#include <gtest/gtest.h>

#include <limits>

#include "test_support.h"

namespace oq {
namespace {

TEST(VariantTest, WholeNumbersRoundHalfToEvenAndTrueIsMinusOne) {
  const std::pair<Variant, std::int64_t> cases[] = {
      {Variant(), 0},
      {Variant::Boolean(true), -1},
      {Variant::Integer(-32768), -32768},
      {Variant::Double(0.5), 0},
      {Variant::Double(1.5), 2},
      {Variant::Double(2.5), 2},
      {Variant::Double(-2.5), -2},
      {Variant::Double(-3.5), -4},
      {Variant::Double(2.500001), 3},
      {Variant::LongLong(-9000000000), -9000000000},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(value.toInt64(), expected) << value.toDouble();
  EXPECT_EQ(Variant::Boolean(true).toDouble(), -1.0);
  EXPECT_TRUE(Variant::Boolean(true).isTrue());
  EXPECT_FALSE(Variant::Double(0.0).isTrue());
}

TEST(VariantTest, RefusedConversions) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<Variant, std::int32_t> toWhole[] = {
      {Variant::Null(), 94},      {Variant::String("12"), 13}, {Variant::Object(nullptr), 13},
      {Variant::Double(1e19), 6}, {Variant::Double(-1e19), 6}, {Variant::Double(nan), 6},
  };
  for (const auto& [value, number] : toWhole) {
    EXPECT_EQ(FailureNumber([&] { (void)value.toInt64(); }), number);
  }
  EXPECT_EQ(FailureNumber([] { (void)Variant::Null().isTrue(); }), 94);
  EXPECT_EQ(FailureNumber([] { (void)Variant::Null().toDouble(); }), 94);
  EXPECT_EQ(FailureNumber([] { (void)Variant::Long(1).asString(); }), 13);
}

}  // namespace
}  // namespace oq
