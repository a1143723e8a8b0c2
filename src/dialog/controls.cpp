#include "dialog/controls.h"

namespace oq {

Control::Control(const ControlLayout& layout, ControlObserver* observer)
    : layout_(layout), observer_(observer) {}

void Control::setEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

bool Control::CanFocus() const {
  return enabled_ && (kind() == ControlKind::kTextBox || kind() == ControlKind::kOptionButton);
}

void Control::Changed() const {
  if (observer_ != nullptr) observer_->ControlChanged(*this);
}

void Label::setCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed();
}

TextBox::TextBox(const ControlLayout& layout, ControlObserver* observer)
    : Control(layout, observer), text_(layout.text), maxLength_(layout.maxLength) {}

void TextBox::setText(std::string text) {
  text_ = std::move(text);
  Changed();
}

void TextBox::setMaxLength(int maxLength) {
  maxLength_ = maxLength;
  Changed();
}

bool TextBox::AcceptsEdit(std::string_view before, std::string_view after) const {
  if (maxLength_ <= 0) return true;
  const int length = CharacterCount(after);
  return length <= maxLength_ || length <= CharacterCount(before);
}

void TextBox::Type(std::string_view chars) {
  std::string text = text_;
  std::size_t i = 0;
  while (i < chars.size()) {
    // One UTF-8 sequence: the lead byte and its continuation bytes.
    std::size_t end = i + 1;
    while (end < chars.size() && (static_cast<unsigned char>(chars[end]) & 0xC0) == 0x80) ++end;
    std::string typed = text + std::string(chars.substr(i, end - i));
    if (!AcceptsEdit(text, typed)) break;
    text = std::move(typed);
    i = end;
  }
  if (text != text_) setText(std::move(text));
}

void OptionButton::setValue(bool value) {
  if (!value) {
    if (value_) {
      value_ = false;
      Changed();
    }
    return;
  }
  if (value_) return;
  if (group_ != nullptr) {
    for (OptionButton* other : *group_) {
      if (other != this && other->value_) {
        other->value_ = false;
        other->Changed();
      }
    }
  }
  value_ = true;
  Changed();
  if (onClick_) onClick_();
}

int CharacterCount(std::string_view text) {
  int count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace oq
