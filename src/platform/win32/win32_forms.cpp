#include "platform/win32/win32_forms.h"

#include "host/forms.h"
#include "platform/win32/win32_form_view.h"
#include "platform/win32/win32_platform_port.h"

namespace oq::win32 {

void InstallWin32MainForm() {
  thread_local bool installed = false;
  if (installed) return;
  SetMainFormFactory([]() -> std::shared_ptr<ModalForm> {
    return std::make_shared<frmMAIN>(std::make_shared<Win32PlatformPort>(),
                                     std::make_shared<Win32FormView>());
  });
  installed = true;
}

}  // namespace oq::win32
