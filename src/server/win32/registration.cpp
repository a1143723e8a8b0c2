#include "server/win32/registration.h"

#include <olectl.h>

#include <string>
#include <vector>

#include "host/class_identity.h"
#include "oquardelino_h.h"
#include "server/win32/com_text.h"
#include "server/win32/module.h"

namespace oq::win32 {

namespace {

// One registry value to write: key (under HKEY_CLASSES_ROOT), value name (empty: the default),
// text.
struct Entry {
  std::wstring key;
  std::wstring name;
  std::wstring value;
};

std::wstring W(std::string_view text) { return Wide(text); }

std::vector<Entry> ClassEntries() {
  const std::wstring classKey = L"CLSID\\" + W(identity::kClassId);
  const std::wstring progId = W(identity::kProgId);
  const std::wstring version = std::to_wstring(identity::kTypeLibraryMajor) + L"." +
                               std::to_wstring(identity::kTypeLibraryMinor);
  return {
      {classKey, L"", W(identity::kClassName)},
      {classKey + L"\\InprocServer32", L"", ModulePath()},
      {classKey + L"\\InprocServer32", L"ThreadingModel", W(identity::kThreadingModel)},
      {classKey + L"\\ProgID", L"", progId},
      {classKey + L"\\TypeLib", L"", W(identity::kTypeLibraryId)},
      {classKey + L"\\VERSION", L"", version},
      {progId, L"", progId},
      {progId + L"\\CLSID", L"", W(identity::kClassId)},
  };
}

bool Write(const Entry& entry) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t));
  const LSTATUS status =
      ::RegSetValueExW(key, entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(entry.value.c_str()), bytes);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool Remove(const std::wstring& key) {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HRESULT RegisterServer() {
  ITypeLib* library = nullptr;
  if (FAILED(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_REGISTER, &library))) {
    return SELFREG_E_TYPELIB;
  }
  library->Release();
  for (const Entry& entry : ClassEntries()) {
    if (!Write(entry)) return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  const bool classGone = Remove(L"CLSID\\" + W(identity::kClassId)) && Remove(W(identity::kProgId));
  const HRESULT typeLibrary = ::UnRegisterTypeLib(LIBID_oQUARDELINO, identity::kTypeLibraryMajor,
                                                  identity::kTypeLibraryMinor, LOCALE_NEUTRAL,
                                                  sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  if (!classGone) return SELFREG_E_CLASS;
  const bool libraryGone = SUCCEEDED(typeLibrary) || typeLibrary == TYPE_E_REGISTRYACCESS ||
                           typeLibrary == TYPE_E_LIBNOTREGISTERED;
  return libraryGone ? S_OK : SELFREG_E_TYPELIB;
}

}  // namespace oq::win32
