#include "dialog/controls.h"

#include <algorithm>

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

std::string TextBox::FitEdit(std::string_view before, std::string_view head,
                             std::string_view tail) const {
  if (maxLength_ <= 0) return std::string(head);
  const int room = std::max(maxLength_, CharacterCount(before)) - CharacterCount(tail);
  if (CharacterCount(head) <= room) return std::string(head);
  // Cut after `room` characters, at the start of the UTF-8 sequence that would exceed it.
  int count = 0;
  std::size_t cut = 0;
  for (; cut < head.size(); ++cut) {
    if ((static_cast<unsigned char>(head[cut]) & 0xC0) != 0x80 && count++ == room) break;
  }
  return std::string(head.substr(0, cut));
}

void TextBox::Type(std::string_view chars) {
  std::string text = FitEdit(text_, text_ + std::string(chars), "");
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
