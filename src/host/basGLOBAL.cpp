#include "host/basGLOBAL.h"

namespace oq::basGLOBAL {

SessionState& State() {
  // One state per host thread, as the component's state lives once per apartment.
  thread_local SessionState state;
  return state;
}

void Reset() { State() = SessionState{}; }

}  // namespace oq::basGLOBAL
