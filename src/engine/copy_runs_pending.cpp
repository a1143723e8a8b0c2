// Placeholder bodies of the copy runs, so the dialog links before the runs exist. Each run's own
// file replaces its function here.
#include "engine/copy_runs.h"

namespace oq {
void lpCopiar_ConLAPI(CopyContext&) {}
void lpCopiar_sinLAPI(CopyContext&) {}
}  // namespace oq
