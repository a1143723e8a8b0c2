#pragma once

#include <windows.h>

#include <memory>

#include "dialog/form_view.h"

namespace oq::win32 {

// The Win32 view of frmMAIN: each showing builds a window from the form's layout (the client area
// inside a one-pixel frame, no title bar, no owner) with an edit or radio button per text box and
// option and the rest painted, runs a modal loop with the form's key preview, and destroys the
// window when the form unloads. While it shows, the thread's other top-level windows are
// disabled, as a modal form does.
class Win32FormView : public FormView {
 public:
  Win32FormView();
  ~Win32FormView() override;

  void RunModal(frmMAIN& form) override;
  void EndModal() override;
  void ControlChanged(const Control& control) override;

  // The window while the form is shown, else null.
  HWND window() const;

 private:
  struct Window;
  std::unique_ptr<Window> window_;
};

}  // namespace oq::win32
