#pragma once

#include <cstddef>

#include "engine/copy_runs.h"

namespace oq {

// lpCopiar (declared in copy_runs.h), the full copy run: reads the copy count from txtCopias
// (Val, then rounded to a 16-bit integer; Failure 6 beyond its range) and the new number from
// Text1, rewrites txtCopias with the number it read, clears the log and makes one copy under the
// typed number, or, for a count above 1, copies named <number>_1 ... <number>_<count>. For each
// copy it checks the number (VerificarInterno), then calls AgregarCaratula and AgregarSubitems,
// logging what returned false, and ends with "Proceso terminado..." and "Fin del Proceso".
// A number longer than the limit is refused with an exclamation message box. Any failure not
// caught by a step stops the run with a critical message box and the arrow pointer; what was
// written stays.

// The longest new number a single copy accepts, and the longest for several copies.
inline constexpr std::size_t kMaxLengthOneCopy = 40;
inline constexpr std::size_t kMaxLengthSeveralCopies = 38;

}  // namespace oq
