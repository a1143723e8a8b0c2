#pragma once

#include <objbase.h>

namespace oq::win32 {

// The class factory of cMAIN, with one reference for the caller. Each object it creates prepares
// its thread for the component first (the Win32 window as frmMAIN's view).
IClassFactory* NewCMainFactory();

// Outstanding LockServer(TRUE) calls, for DllCanUnloadNow.
long ServerLocks();

}  // namespace oq::win32
