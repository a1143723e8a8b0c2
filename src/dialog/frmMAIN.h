#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/controls.h"
#include "engine/copy_context.h"
#include "engine/copy_form.h"
#include "engine/platform_port.h"
#include "host/forms.h"

namespace oq {

class FormView;  // dialog/form_view.h: draws the form and runs its modal loop

// The copy runs F11 starts, one per option. They default to the engine's runs; a test replaces
// them to see which run a key starts.
struct CopyRuns {
  std::function<void(CopyContext&)> todos;    // opTodos: lpCopiar
  std::function<void(CopyContext&)> conLAPI;  // opLAPI: lpCopiar_ConLAPI
  std::function<void(CopyContext&)> sinLAPI;  // opSinLAPI: lpCopiar_sinLAPI
  static CopyRuns Engine();
};

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

  // Loading rebuilds every control from the layout, puts the focus in txtLOG, then runs Form_Load;
  // a failure of Form_Load propagates and leaves the form unloaded. Unload ends a modal showing;
  // the controls stay readable until the next Load. Both are no-ops when already in that state.
  void Load();
  void Unload();
  bool IsLoaded() const;

  // ModalForm: Load if needed, then the view's modal loop until Unload. Without a view there is
  // no modal loop: Failure 5. Failures of the start-up, of the view and of an event procedure
  // propagate.
  void ShowModal() override;
  // Whether a view is running the modal loop now.
  bool IsShowing() const;

  // Events. Form_KeyDown is the form's key preview: a view calls it before the focused control
  // gets the key. Nothing here traps errors: a copy run's own unhandled failure propagates and
  // ends the key press there.
  void Form_Load();
  void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift);
  void opTodos_Click();
  void opLAPI_Click();
  void opSinLAPI_Click();

  // The copy runs, with no arguments: each runs this form's CopyRuns entry with this form and its
  // platform, and returns when the run is over.
  void lpCopiar();
  void lpCopiar_ConLAPI();
  void lpCopiar_sinLAPI();
  void SetCopyRuns(CopyRuns runs);

  // Controls, as a program reaches them. Valid from the first Load on; each Load replaces them.
  TextBox& Text1();
  TextBox& txtCopias();
  TextBox& txtLOG();
  OptionButton& opTodos();
  OptionButton& opLAPI();
  OptionButton& opSinLAPI();
  Label& version();
  Label& lbInterno();
  // Every control, front to back; null / empty before the first Load.
  std::vector<Control*> Controls() const;
  Control* FindControl(std::string_view name) const;
  // The controls that can take the focus now, in tab order.
  std::vector<Control*> TabOrder() const;
  // The control that has the focus (txtLOG after each Load); a view reports focus moves.
  Control* ActiveControl() const;
  void SetFocus(Control& control);

  PlatformPort& platform() const;

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
