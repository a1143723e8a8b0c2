#include "server/win32/module.h"

namespace oq::win32 {

namespace {
HMODULE g_module = nullptr;
}

HMODULE Module() { return g_module; }
void SetModule(HMODULE module) { g_module = module; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace oq::win32
