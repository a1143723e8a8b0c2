#include "host/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/failure.h"

namespace oq {
namespace {

std::int32_t FailureOf(void (*conversion)(const Variant&), const Variant& value) {
  try {
    conversion(value);
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(VariantTest, WholeNumbers) {
  const std::pair<Variant, std::int64_t> cases[] = {
      {Variant(), 0},
      {Variant::Boolean(true), -1},
      {Variant::Boolean(false), 0},
      {Variant::Integer(-32768), -32768},
      {Variant::Long(2147483647), 2147483647},
      {Variant::LongLong(-9000000000), -9000000000},
      {Variant::Double(0.5), 0},
      {Variant::Double(1.5), 2},
      {Variant::Double(2.5), 2},
      {Variant::Double(-2.5), -2},
      {Variant::Double(-3.5), -4},
      {Variant::Double(2.500001), 3},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(value.toInt64(), expected) << value.toDouble();
  }
  EXPECT_EQ(Variant::Boolean(true).toDouble(), -1.0);
  EXPECT_TRUE(Variant::Boolean(true).isTrue());
  EXPECT_FALSE(Variant::Double(0.0).isTrue());
}

TEST(VariantTest, RefusedConversions) {
  const auto toInt = +[](const Variant& v) { (void)v.toInt64(); };
  const auto toDouble = +[](const Variant& v) { (void)v.toDouble(); };
  const auto isTrue = +[](const Variant& v) { (void)v.isTrue(); };
  const auto asText = +[](const Variant& v) { (void)v.asString(); };
  struct Case {
    void (*conversion)(const Variant&);
    Variant value;
    std::int32_t number;
  };
  const Case cases[] = {
      {toInt, Variant::Null(), 94},
      {toDouble, Variant::Null(), 94},
      {isTrue, Variant::Null(), 94},
      {toInt, Variant::String("12"), 13},
      {toDouble, Variant::Object(nullptr), 13},
      {asText, Variant::Long(1), 13},
      {toInt, Variant::Double(1e19), 6},
      {toInt, Variant::Double(-1e19), 6},
      {toInt, Variant::Double(std::numeric_limits<double>::quiet_NaN()), 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FailureOf(c.conversion, c.value), c.number) << static_cast<int>(c.value.kind());
  }
}

TEST(VariantTest, KindsAndEquality) {
  EXPECT_EQ(Variant::Long(1).kind(), Variant::Kind::kLong);
  EXPECT_EQ(Variant::Null().kind(), Variant::Kind::kNull);
  EXPECT_NE(Variant::Long(1), Variant::Integer(1)) << "equality is by kind and value";
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_TRUE(Variant::Boolean(false).isNumeric());
  EXPECT_FALSE(Variant::String("1").isNumeric());
}

}  // namespace
}  // namespace oq
