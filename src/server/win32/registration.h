#pragma once

#include <windows.h>

namespace oq::win32 {

// Registers the type library carried as this module's TYPELIB resource and the class cMAIN:
// its class id with InprocServer32 (this module, ThreadingModel Apartment), ProgID, type library
// and version, and the registered name oQUARDELINO.cMAIN pointing at it. Classes go under
// HKEY_CLASSES_ROOT. S_OK, or SELFREG_E_TYPELIB / SELFREG_E_CLASS with what was written left.
HRESULT RegisterServer();
// Removes what RegisterServer writes; entries already gone are not an error.
HRESULT UnregisterServer();

}  // namespace oq::win32
