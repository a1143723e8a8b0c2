#pragma once

#include <ostream>
#include <vector>

#include "workspace.h"

namespace oq::bench {

// The program's read-only preview of the template of `n` items: what each licence-filtered copy
// keeps, item by item, with one lookup per distinct tariff code.
struct PreviewFigure {
  int n = 0;
  long distinctCodes = 0;
  double seconds = 0;     // median wall clock
  double cpuSeconds = 0;  // median process CPU time
};

// Opens the template read only (not timed) and times the preview `repetitions` times.
PreviewFigure MeasurePreview(const Workspace& space, int n, int repetitions);

void PrintPreviewFigures(std::ostream& out, const std::vector<PreviewFigure>& figures);

}  // namespace oq::bench
