// Text boxes of the form: the typing limit in characters, a program's text kept whole, and the
// changes a view is told of.
#include "dialog/controls.h"

#include <gtest/gtest.h>

namespace oq {
namespace {

struct ChangeCounter : ControlObserver {
  void ControlChanged(const Control&) override { ++changes; }
  int changes = 0;
};

TextBox Box(int maxLength, ControlObserver* observer = nullptr) {
  ControlLayout layout;
  layout.kind = ControlKind::kTextBox;
  layout.maxLength = maxLength;
  return TextBox(layout, observer);
}

// An edit turns `before` into head + tail, the cursor after what was typed or pasted.
TEST(TextBoxTest, AnEditKeepsTheFirstCharactersThatFitTheLimit) {
  struct Case {
    int limit;
    std::string before, head, tail, expected;
  };
  const std::vector<Case> cases = {
      {3, "", "abcdef", "", "abc"},
      {4, "", "áéíóú", "", "áéíó"},  // two bytes each, one character each
      {0, "", std::string(100, 'x'), "", std::string(100, 'x')},
      {-1, "", "abcdef", "", "abcdef"},  // a negative limit is no limit
      {1, "", "25", "", "2"},            // the copies box
      {1, "1", "125", "", "1"},          // no room: nothing of the paste
      {1, "1", "7", "", "7"},            // "1" selected, replaced by a one-character paste
      {5, "ab", "aXYZW", "b", "aXYZ"},   // pasted between a and b
      {5, "abcd", "aXYZ", "", "aXYZ"},   // "bcd" selected and replaced within the limit
      // A program's text past the limit may only be shortened, or replaced one by one.
      {5, "1234567890", "123456789", "", "123456789"},
      {5, "1234567890", "123456789x", "", "123456789x"},
      {5, "1234567890", "12345678901", "", "1234567890"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head + "|" + c.tail);
    EXPECT_EQ(Box(c.limit).FitEdit(c.before, c.head, c.tail), c.expected);
  }
}

TEST(TextBoxTest, TypingStopsAtTheLimitButAProgramsTextIsKeptWhole) {
  ChangeCounter counter;
  TextBox box = Box(0, &counter);
  box.setMaxLength(3);
  box.Type("abcdef");
  EXPECT_EQ(box.text(), "abc");
  box.Type("x");  // nothing fits: no change
  EXPECT_EQ(counter.changes, 2);
  box.setText("1234567890");
  box.Type("x");
  EXPECT_EQ(box.text(), "1234567890");
  EXPECT_EQ(counter.changes, 3);
}

}  // namespace
}  // namespace oq
