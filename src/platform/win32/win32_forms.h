#pragma once

#include <functional>
#include <memory>

#include "dialog/frmMAIN.h"
#include "engine/platform_port.h"

namespace oq::win32 {

// Installs this thread's main-form factory (host/forms.h): cMAIN::Mostrar then shows frmMAIN in a
// Win32 window, its runs reporting through a Win32PlatformPort. Does nothing when the thread
// already has it.
void InstallWin32MainForm();

}  // namespace oq::win32
