#pragma once

#include <filesystem>

#include "raw_sqlite.h"
#include "report.h"

namespace oq::bench {

// Peak resident set, measured in a child process per N so that the sizes do not mask each other:
// the child is this program run again with --memory-child.

// In the child: copies the template of `n` items, opens it through the component and the program's
// run guard (one transaction per run, as the program copies), then makes one
// full copy and one copy of each filtered option, resetting the resident-set peak before each
// (/proc/self/clear_refs) and reading it after (VmHWM). Prints one line "memory n base full con
// sin" (kilobytes) on standard output. Throws std::runtime_error on any failure.
void MemoryChild(const std::filesystem::path& work, int n, const SqliteSettings& settings);

// In the parent: runs `program` --memory-child n --work `work` (and the settings) and reads its
// line. Throws std::runtime_error when the child fails.
MemoryFigure MeasureMemory(const std::filesystem::path& program, const std::filesystem::path& work,
                           int n, const SqliteSettings& settings);

}  // namespace oq::bench
