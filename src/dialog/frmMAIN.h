#pragma once
// NOTE FOR THE DIALOG'S AUTHOR: this header fixes the members other code already relies on
// (the copy command drives the form headless through them). Extend freely; keep these.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/copy_form.h"
#include "engine/platform_port.h"
#include "host/forms.h"

namespace oq {

class FormView;      // dialog/form_view.h: draws the form and runs its modal loop
class TextBox;       // dialog/controls.h
class OptionButton;  // dialog/controls.h

inline constexpr std::int16_t vbKeyF11 = 122;
inline constexpr std::int16_t vbKeyEscape = 27;
inline constexpr std::int16_t vbShiftMask = 1;
inline constexpr std::int16_t vbCtrlMask = 2;
inline constexpr std::int16_t vbAltMask = 4;

// The copy dialog as a model: its controls and their state, its start-up, its keys and option
// clicks. A FormView shows it; without one it runs headless (the copy command, tests).
class frmMAIN : public ModalForm, public CopyForm {
 public:
  // `platform` receives the message boxes, pointer changes and settings of the copy runs;
  // `view` (may be null: headless) draws the form and runs the modal loop of ShowModal.
  frmMAIN(std::shared_ptr<PlatformPort> platform, std::shared_ptr<FormView> view);
  ~frmMAIN() override;

  // Loading rebuilds every control from the layout, then runs Form_Load. Unload ends a modal
  // showing. Both are no-ops when already in that state.
  void Load();
  void Unload();
  bool IsLoaded() const;

  // ModalForm: Load if needed, then the view's modal loop until Unload.
  void ShowModal() override;

  // Events.
  void Form_Load();
  void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift);
  void opTodos_Click();
  void opLAPI_Click();
  void opSinLAPI_Click();

  // Controls, as a program reaches them. Valid while loaded.
  TextBox& Text1();
  TextBox& txtCopias();
  TextBox& txtLOG();
  OptionButton& opTodos();
  OptionButton& opLAPI();
  OptionButton& opSinLAPI();

  // CopyForm.
  std::string get_Text1() const override;
  std::string get_txtCopias() const override;
  void let_txtCopias(const std::string& text) override;
  std::string get_txtLOG() const override;
  void let_txtLOG(const std::string& text) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace oq
