#pragma once

#include <memory>

#include "dialog/form_view.h"
#include "platform/qt/form_window.h"

namespace oq::qt {

// The Qt view of frmMAIN: each showing builds a FormWindow and runs its modal loop until the form
// unloads. Needs a QApplication on this thread.
class QtFormView : public FormView {
 public:
  QtFormView() = default;
  ~QtFormView() override;

  void RunModal(frmMAIN& form) override;
  void EndModal() override;
  void ControlChanged(const Control& control) override;

  // The window while the form is shown, else null.
  FormWindow* window() const { return window_.get(); }

 private:
  std::unique_ptr<FormWindow> window_;
};

}  // namespace oq::qt
