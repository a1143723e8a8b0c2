#pragma once

#include <functional>

namespace oq::careful {

// SIGINT and SIGTERM for a program that guards its copy runs. Outside a run a signal ends the
// program at once, as it would without handlers (nothing is being written then). During a run the
// first signal is only noted: the run stops before its next statement and is rolled back, and the
// program then ends with 128 + the signal's number. A second signal during the same run ends the
// program at once; the database discards the open transaction itself.
void InstallInterruptHandlers();

// Marks the span of a run; signals are noted instead of ending the program while it is open.
class RunSpan {
 public:
  RunSpan();
  ~RunSpan();
  RunSpan(const RunSpan&) = delete;
  RunSpan& operator=(const RunSpan&) = delete;
};

// The signal noted during the current or last run, 0 when none.
int PendingSignal();
// Asks the current run to stop as `signal` would (from a window's own question): it is noted as
// if it had come, so the run stops before its next statement.
void RequestStop(int signal);

// For RunGuardHooks::onWriting: a RunSpan open exactly while a run writes, so that a signal that
// comes while nothing is being written (a box on screen) ends the program at once.
std::function<void(bool writing)> SpanWhileWriting();

}  // namespace oq::careful
