#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace oq {

// A colour as red, green and blue.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A colour property: a fixed colour, one of the user's system colours (the view resolves it), or,
// for a background, transparent (the controls behind show through).
struct Colour {
  enum class Kind { kRgb, kTransparent, kWindowBackground, kWindowText, kButtonText };
  Kind kind = Kind::kTransparent;
  Rgb rgb;

  static constexpr Colour Of(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {Kind::kRgb, {r, g, b}};
  }
  static constexpr Colour Transparent() { return {Kind::kTransparent, {}}; }
  static constexpr Colour WindowBackground() { return {Kind::kWindowBackground, {}}; }
  static constexpr Colour WindowText() { return {Kind::kWindowText, {}}; }
  static constexpr Colour ButtonText() { return {Kind::kButtonText, {}}; }
  friend bool operator==(const Colour&, const Colour&) = default;
};

// A font as the layout names it; the view picks the installed font that matches it best.
struct FontSpec {
  std::string family = "Tahoma";
  double points = 8.25;
  bool bold = false;
  int charset = 0;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

enum class ControlKind { kLabel, kTextBox, kOptionButton, kShape, kImage };
enum class Alignment { kLeft, kRight, kCentre };

// One row of a form's layout: a control as the form is designed, in twips.
struct ControlLayout {
  std::string name;
  ControlKind kind = ControlKind::kLabel;
  int left = 0, top = 0, width = 0, height = 0;  // twips
  int tabIndex = -1;                             // -1: takes no tab index (shapes, pictures)
  std::string text;                              // caption of a label or option, text of a box
  FontSpec font;
  Colour back = Colour::Transparent();  // background, or the fill of a shape
  Colour fore = Colour::ButtonText();
  Alignment alignment = Alignment::kLeft;
  int maxLength = 0;  // text boxes: 0 means no limit
  bool multiLine = false;
  bool verticalScrollBar = false;
  bool selected = false;  // option buttons
};

class Control;

// Told of every change of a control's state made through its setters, whoever makes it (a copy
// run, the form's start-up, a view relaying what the user did).
class ControlObserver {
 public:
  ControlObserver() = default;
  ControlObserver(const ControlObserver&) = delete;
  ControlObserver& operator=(const ControlObserver&) = delete;
  virtual ~ControlObserver() = default;
  virtual void ControlChanged(const Control& control) = 0;
};

// A control of a form: its layout and its current state. The form owns its controls; a control
// reports each change to the observer it was given (not owned, may be null).
class Control {
 public:
  Control(const ControlLayout& layout, ControlObserver* observer);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const ControlLayout& layout() const { return layout_; }
  const std::string& name() const { return layout_.name; }
  ControlKind kind() const { return layout_.kind; }

  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  // Text boxes and option buttons take the focus while enabled.
  bool CanFocus() const;

 protected:
  void Changed() const;

 private:
  ControlLayout layout_;
  ControlObserver* observer_;
  bool enabled_ = true;
};

// A label: a caption the program sets; the user cannot change it.
class Label : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);

 private:
  std::string caption_ = layout().text;
};

// A text box. A program's assignment is kept whole; only typing is held to maxLength.
class TextBox : public Control {
 public:
  TextBox(const ControlLayout& layout, ControlObserver* observer);

  const std::string& text() const { return text_; }
  void setText(std::string text);
  // The typing limit in characters; 0 or less means no limit.
  int maxLength() const { return maxLength_; }
  void setMaxLength(int maxLength);

  // What stays of an edit by typing or pasting that turns `before` into `head` + `tail`, the
  // cursor between them (just after what was typed or pasted): the new head. The edit stays whole
  // when it is within the limit or makes the text no longer than before (so a long text a program
  // put there can still be shortened); otherwise what was typed or pasted is cut, keeping its first
  // characters up to the limit, as the platform's edit box does. The tail always stays.
  std::string FitEdit(std::string_view before, std::string_view head, std::string_view tail) const;
  // Types `chars` at the end of the text, stopping at the limit.
  void Type(std::string_view chars);

 private:
  std::string text_;
  int maxLength_;
};

// An option button; the buttons of one form make one group, of which one is selected.
class OptionButton : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return layout().text; }
  bool value() const { return value_; }
  // true selects this button, deselects the others of its group and, when it was not selected,
  // runs its click handler. false only deselects it.
  void setValue(bool value);

  // Wiring by the form that owns the button.
  void JoinGroup(std::vector<OptionButton*>* group) { group_ = group; }
  void OnClick(std::function<void()> handler) { onClick_ = std::move(handler); }

 private:
  bool value_ = layout().selected;
  std::vector<OptionButton*>* group_ = nullptr;
  std::function<void()> onClick_;
};

// The layout's rectangles and its picture have no state beyond their layout.
class Shape : public Control {
 public:
  using Control::Control;
};
class Image : public Control {
 public:
  using Control::Control;
};

// Number of characters (code points) of a UTF-8 text.
int CharacterCount(std::string_view text);

}  // namespace oq
