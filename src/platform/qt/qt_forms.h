#pragma once

#include <functional>
#include <memory>

#include "dialog/frmMAIN.h"
#include "engine/platform_port.h"

namespace oq::qt {

// Installs this thread's main-form factory (host/forms.h): cMAIN::Mostrar then shows frmMAIN in a
// Qt window. The form reports through `platform` (by default a QtPlatformPort on the user's
// settings store); `prepare`, when given, is applied to each form created (a test replaces its
// copy runs there). The first Mostrar of a thread creates its form (after `prepare`, which may make
// the QApplication): it fails with Failure 429 when no QApplication exists, or when it runs on
// another thread than the QApplication's, where Qt cannot show a window; the next Mostrar tries
// again.
void InstallQtMainForm(std::shared_ptr<PlatformPort> platform = nullptr,
                       std::function<void(frmMAIN&)> prepare = {});

}  // namespace oq::qt
