#pragma once

#include <memory>

#include "careful_host/run_guard.h"
#include "engine/platform_port.h"

namespace oq::careful {

// Installs the Qt main form with each F11 run guarded by `guard` (which must outlive the
// showings): a discarded run says so at the end of the log box and on standard error, and an
// interrupted one closes the dialog. `platform` as for qt::InstallQtMainForm (null: the user's).
void InstallGuardedQtForm(RunGuard& guard, std::shared_ptr<PlatformPort> platform = nullptr);

}  // namespace oq::careful
