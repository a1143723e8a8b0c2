#pragma once

#include <string>

#include "engine/copy_context.h"

namespace oq {

// True when no cover sheet carries `p_NWNRO`, so the number is free. False when one does, or when
// the check failed: a failure is shown in its own critical message box and counts as taken.
bool VerificarInterno(CopyContext& ctx, const std::string& p_NWNRO);

}  // namespace oq
