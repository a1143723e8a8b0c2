#include "engine/conversions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../host/test_support.h"

namespace oq::rt {
namespace {

// Whether `convert` throws 6 "Overflow".
template <typename Convert>
bool Overflows(const Convert& convert) {
  const Failure failure = test::FailureOf(convert);
  return failure.number() == 6 && failure.description() == "Overflow";
}

TEST(ValTest, ReadsTheLeadingNumberByEveryRuleAndOverflowsBeyondADouble) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"", 0},          {"abc", 0},      {"-", 0},           {".", 0},           {"12", 12},
      {"  12", 12},     {"1 2 3", 123},  {"\t-\n4.5", -4.5}, {"3abc", 3},        {"2.5", 2.5},
      {"2,5", 2},       {"+7", 7},       {".5", 0.5},        {"-.5", -0.5},      {"1.2.3", 1.2},
      {"1e3", 1000},    {"1E+2x", 100},  {"2 e - 1", 0.2},   {"1D2", 100},       {"1e", 1},
      {"1e+", 1},       {"1\r2", 1},     {"0.000", 0},       {"1e-400", 0},      {"&H1F", 31},
      {"&hff", 255},    {"& H 1 0", 16}, {"&HFFFF", -1},     {"&H10000", 65536}, {"&HFFFFFFFF", -1},
      {"&O17", 15},     {"&o8", 0},      {"&H", 0},          {"&X1", 0},         {"-&H10", 0},
      {"40000", 40000}, {"&HaF", 175},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(Val(text), expected) << "Val(\"" << text << "\")";
  }
  for (const std::string text : {"1e400", "-1e309", "&H1FFFFFFFF"}) {
    EXPECT_TRUE(Overflows([&] { Val(text); })) << text;
  }
}

TEST(CIntTest, RoundsHalvesToEvenAndOverflowsOutsideSixteenBits) {
  const std::vector<std::pair<double, int>> cases = {
      {2.5, 2},    {3.5, 4},       {-2.5, -2},       {-3.5, -4},       {0.5, 0},           {1.5, 2},
      {2.4999, 2}, {32767, 32767}, {-32768, -32768}, {32767.4, 32767}, {-32768.5, -32768}, {0, 0},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(CInt(value), expected) << value;
  for (double value : {32767.5, 32768.0, -32769.0, -32768.6, 40000.0, 1e300}) {
    EXPECT_TRUE(Overflows([&] { CInt(value); })) << value;
  }
}

// A number as text with the user's decimal separator: NumberToText with up to fifteen significant
// digits, Format00_00 with at least two digits each side, rounded half away from zero.
TEST(NumberTextTest, FifteenDigitsOrTwoEachSideWithTheUsersSeparator) {
  struct Case {
    double value;
    const char* separator;
    std::string expected;
  };
  const std::vector<Case> toText = {
      {2.5, ".", "2.5"},         {2.5, ",", "2,5"},       {3, ",", "3"},
      {-0.0, ".", "0"},          {0.1 + 0.2, ".", "0.3"}, {1.0 / 3, ",", "0,333333333333333"},
      {-1234.5, ",", "-1234,5"}, {1e15, ".", "1E+15"},    {123456789012345, ".", "123456789012345"},
      {0.0001, ".", "0.0001"},   {0.00001, ".", "1E-05"}, {40000, ".", "40000"},
  };
  for (const Case& c : toText) EXPECT_EQ(NumberToText(c.value, c.separator), c.expected) << c.value;
  const std::vector<Case> format = {
      {5.5, ".", "05.50"},
      {1234.567, ".", "1234.57"},
      {0, ".", "00.00"},
      {-3.2, ".", "-03.20"},
      {0.125, ".", "00.13"},
      {0.005, ".", "00.01"},
      {0.004, ".", "00.00"},
      {99.995, ".", "100.00"},
      {-0.001, ".", "00.00"},
      {1.005, ".", "01.01"},
      {5.5, ",", "05,50"},
      {12345678.9, ".", "12345678.90"},
      {-1234.565, ",", "-1234,57"},
      {1234567890123.45, ".", "1234567890123.45"},
  };
  for (const Case& c : format) EXPECT_EQ(Format00_00(c.value, c.separator), c.expected) << c.value;
}

TEST(TextTest, ReplaceEveryOccurrenceAndLenInSixteenBitUnits) {
  EXPECT_EQ(Replace("a,,b,", ",", "."), "a..b.");
  EXPECT_EQ(Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
  EXPECT_EQ(Len("máximo"), 6u);
  EXPECT_EQ(Len("\xE2\x82\xAC"), 1u);      // euro sign
  EXPECT_EQ(Len("\xF0\x9F\x98\x80"), 2u);  // outside the basic plane
}

}  // namespace
}  // namespace oq::rt
