#pragma once

#include "engine/copy_context.h"

namespace oq {

// The three copy runs that F11 starts, one per option of frmMAIN. Each reads the boxes of the
// form, writes its log, calls the existence check and the copy steps, and reports through message
// boxes; each catches its own failures and returns when its run is over.
void lpCopiar(CopyContext& ctx);           // "todos los artículos": full copy, one or several
void lpCopiar_ConLAPI(CopyContext& ctx);   // "artículos con LAPI"
void lpCopiar_sinLAPI(CopyContext& ctx);   // "artículos sin LAPI"

}  // namespace oq
