#pragma once

#include "host/in_process_server.h"

namespace oq::server {

// The one class factory of cMAIN. It is a static object: handing it out adds a reference that the
// caller's Release gives back, and the references only count towards DllCanUnloadNow.
oq_class_factory* AcquireFactory();

// True while a factory reference or a LockServer lock is outstanding.
bool FactoryInUse();

}  // namespace oq::server
