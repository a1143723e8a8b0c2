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
  EXPECT_EQ(box.FitEdit("1234567890", "123456789", ""), "123456789");
  EXPECT_EQ(box.FitEdit("1234567890", "123456789x", ""), "123456789x");  // replacing one by one
}

// An edit turns `before` into head + tail, the cursor after what was typed or pasted.
TEST(TextBoxTest, APastePastTheLimitKeepsItsFirstCharacters) {
  struct Case {
    int limit;
    std::string before, head, tail, expected;
  };
  const std::vector<Case> cases = {
      {1, "", "25", "", "2"},           // the copies box
      {1, "1", "125", "", "1"},         // no room: nothing of the paste
      {1, "1", "7", "", "7"},           // "1" selected, replaced by a one-character paste
      {5, "ab", "aXYZW", "b", "aXYZ"},  // pasted between a and b
      {5, "abcd", "aXYZ", "", "aXYZ"},  // "bcd" selected and replaced within the limit
      {4, "", "áéíóú", "", "áéíó"},     // characters, not bytes
      {5, "1234567890", "12345678901", "", "1234567890"},  // a long text of the program's
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head + "|" + c.tail);
    EXPECT_EQ(Box(c.limit).FitEdit(c.before, c.head, c.tail), c.expected);
  }
}

}  // namespace
}  // namespace oq
