#pragma once

#include <functional>
#include <memory>

namespace oq {

// A form the component shows modally: the host layer only needs to create it and show it.
class ModalForm {
 public:
  ModalForm() = default;
  ModalForm(const ModalForm&) = delete;
  ModalForm& operator=(const ModalForm&) = delete;
  virtual ~ModalForm() = default;

  // Loads the form if it is not loaded (which runs its start-up), shows it modally with no owner
  // and returns when it has been unloaded. Failures of the start-up or of the view propagate.
  virtual void ShowModal() = 0;
};

// The forms port: how this thread creates the component's main form, frmMAIN. The program (or
// the library's entry point, or a test) installs the factory that binds the form to a view: the Qt
// window, or a headless view that a test drives. One factory per thread, like the session state.
using MainFormFactory = std::function<std::shared_ptr<ModalForm>()>;
void SetMainFormFactory(MainFormFactory factory);
// Creates frmMAIN through this thread's factory. Throws Failure 429 when none is installed.
std::shared_ptr<ModalForm> CreateMainForm();

}  // namespace oq
