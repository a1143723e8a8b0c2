#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog/form_view.h"

namespace oq {

// A view with no screen. Its modal loop plays the user's part from a script, so that cMAIN's
// Mostrar, the keys and the option clicks run exactly as under a window. It records which controls
// changed while shown.
class HeadlessView : public FormView {
 public:
  // What the user does while the form is shown; it should end with ESC.
  using Script = std::function<void(frmMAIN& form)>;

  explicit HeadlessView(Script script = {}) : script_(std::move(script)) {}
  void SetScript(Script script) { script_ = std::move(script); }

  // Runs the script once. A script that ends with the form still loaded would leave a real window
  // waiting for ever: the form is unloaded and Failure 5 thrown.
  void RunModal(frmMAIN& form) override;
  void EndModal() override { inLoop_ = false; }
  void ControlChanged(const Control& control) override { changes_.push_back(control.name()); }

  // A key press as the window delivers it: the form's key preview first, then the focused control
  // (which, headless, does nothing with F11 or ESC).
  static void PressKey(frmMAIN& form, std::int16_t keyCode, std::int16_t shift = 0);

  int timesShown() const { return timesShown_; }
  const std::vector<std::string>& changes() const { return changes_; }

 private:
  Script script_;
  bool inLoop_ = false;
  int timesShown_ = 0;
  std::vector<std::string> changes_;
};

}  // namespace oq
