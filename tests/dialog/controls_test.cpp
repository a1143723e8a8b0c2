// Text boxes of the form: the typing limit, and a program's text kept whole.
#include "dialog/controls.h"

#include <gtest/gtest.h>

namespace oq {
namespace {

TextBox Box(int maxLength) {
  ControlLayout layout;
  layout.name = "box";
  layout.kind = ControlKind::kTextBox;
  layout.maxLength = maxLength;
  return TextBox(layout, nullptr);
}

TEST(TextBoxTest, TypingStopsAtTheLimitCountingCharactersNotBytes) {
  struct Case {
    int limit;
    std::string typed;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {3, "abcdef", "abc"},
      {3, "áéíóú", "áéí"},  // two bytes each, one character each
      {0, std::string(100, 'x'), std::string(100, 'x')},
      {-1, "abcdef", "abcdef"},  // a negative limit is no limit
      {1, "75", "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    TextBox box = Box(c.limit);
    box.Type(c.typed);
    EXPECT_EQ(box.text(), c.expected);
  }
}

TEST(TextBoxTest, AProgramsTextIsKeptWholeAndMayOnlyBeShortenedByTheUser) {
  TextBox box = Box(5);
  box.setText("1234567890");
  EXPECT_EQ(box.text(), "1234567890");
  box.Type("x");
  EXPECT_EQ(box.text(), "1234567890");
  EXPECT_TRUE(box.AcceptsEdit("1234567890", "123456789"));
  EXPECT_TRUE(box.AcceptsEdit("1234567890", "123456789x"));  // replacing one by one
  EXPECT_FALSE(box.AcceptsEdit("12345", "123456"));
}

}  // namespace
}  // namespace oq
