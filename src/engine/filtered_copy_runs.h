#pragma once

// The two licence-filtered copy runs, lpCopiar_ConLAPI and lpCopiar_sinLAPI, declared with the
// other runs in copy_runs.h. Each makes exactly one copy of the session's source interno under the
// number typed in Text1, whatever txtCopias holds (the box is rewritten with the number read from
// it, but not used) and however long the number is: the existence check, then the filtered item
// copy, then the cover sheet with its FOB total recalculated from the items just copied. A false
// step is logged and the run goes on; the run ends with "Proceso terminado...", "Fin del Proceso"
// and the arrow pointer.
//
// A failure the steps do not catch themselves stops the run with one message box and the arrow
// pointer: lpCopiar_ConLAPI shows the description first in a box without icon, lpCopiar_sinLAPI
// the full run's text in a critical box. Neither throws.
#include "engine/copy_runs.h"
