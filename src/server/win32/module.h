#pragma once

#include <windows.h>

#include <string>

namespace oq::win32 {

// This DLL's module handle, as DllMain received it.
HMODULE Module();
void SetModule(HMODULE module);
// The full path of this DLL.
std::wstring ModulePath();

}  // namespace oq::win32
