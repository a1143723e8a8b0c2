#pragma once

#include <memory>
#include <string>

#include "bench_target.h"
#include "floors.h"
#include "raw_sqlite.h"
#include "timing.h"

namespace oq::bench {

// The three options of the dialog, each with its copy run.
enum class CopyOption { kTodos, kConLAPI, kSinLAPI };

// Drives the component as its host does: opens both databases through the SQLite connector with
// the settings measured, hands the connections, the data-access manager, the date text and the
// source number to the session through cMAIN's setters, and runs the copy run of an option as F11
// does, on a form of its own whose boxes hold what the user typed. Message boxes are acknowledged
// without a word and kept for the check below; per-user settings are kept in memory (they are
// the platform's, not the database's, and a file store would add its own disk writes).
//
// One harness per thread at a time: it owns this thread's session state (basGLOBAL) and clears
// it when destroyed.
class RunHarness {
 public:
  // When `log` is given, every statement the runs send is appended to it, as it was set in `sql`.
  // Throws (oq::Failure or std::runtime_error) when a database cannot be opened.
  RunHarness(const DatabasePaths& paths, const SqliteSettings& settings,
             StatementLog* log = nullptr);
  // The same over connections already open, on any engine. In Mode::kTransaction each run goes
  // through the program's RunGuard on `connections.control`: one transaction, committed when the
  // run ended without a fault; a run whose writes were not kept throws std::runtime_error.
  RunHarness(RunConnections connections, Mode mode, StatementLog* log = nullptr);
  ~RunHarness();
  RunHarness(const RunHarness&) = delete;
  RunHarness& operator=(const RunHarness&) = delete;

  // Types `newNumber` into Text1 and `copies` into txtCopias, runs the option's copy run and
  // returns its time. Throws std::runtime_error when the run showed any message box
  // but its end message "Fin del Proceso", or logged anything but the end of a clean run: a
  // failed run measures nothing.
  Sample Run(CopyOption option, const std::string& newNumber, int copies);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace oq::bench
