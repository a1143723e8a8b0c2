#pragma once

#include "engine/copy_form.h"
#include "engine/platform_port.h"

namespace oq {

// What every copy procedure works with besides the session state (basGLOBAL): the form whose boxes
// it reads and writes, and the platform it shows itself through. Both outlive the call.
struct CopyContext {
  CopyForm& form;
  PlatformPort& platform;
};

}  // namespace oq
