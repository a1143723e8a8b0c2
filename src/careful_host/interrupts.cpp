#include "careful_host/interrupts.h"

#include <signal.h>

#include <memory>
#include <optional>

namespace oq::careful {

namespace {

volatile sig_atomic_t runOpen = 0;
volatile sig_atomic_t pending = 0;

extern "C" void OnInterrupt(int signal) {
  if (runOpen == 0 || pending != 0) {
    // Ends the program the way the signal's default action does, status included.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  pending = signal;
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  // A blocked read or lock wait goes on after the handler; the run checks between statements.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

RunSpan::RunSpan() {
  pending = 0;
  runOpen = 1;
}

RunSpan::~RunSpan() { runOpen = 0; }

int PendingSignal() { return pending; }

void RequestStop(int signal) { pending = signal; }

std::function<void(bool writing)> SpanWhileWriting() {
  auto span = std::make_shared<std::optional<RunSpan>>();
  return [span](bool writing) {
    if (writing) {
      span->emplace();
    } else {
      span->reset();
    }
  };
}

}  // namespace oq::careful
