#include "platform/win32/win32_platform_port.h"

#include "host/class_identity.h"
#include "host/failure.h"
#include "platform/win32/wide_text.h"

namespace oq::win32 {

namespace {

// One screen pointer per thread, as the component's windows all live on the host's thread.
thread_local int t_screenPointer = vbDefault;

LPCWSTR CursorFor(int pointer) {
  switch (pointer) {
    case 2:
      return IDC_CROSS;
    case 3:
      return IDC_IBEAM;
    case 5:
    case 15:
      return IDC_SIZEALL;
    case 6:
      return IDC_SIZENESW;
    case 7:
      return IDC_SIZENS;
    case 8:
      return IDC_SIZENWSE;
    case 9:
      return IDC_SIZEWE;
    case 10:
      return IDC_UPARROW;
    case vbHourglass:
      return IDC_WAIT;
    case 12:
      return IDC_NO;
    case 13:
      return IDC_APPSTARTING;
    case 14:
      return IDC_HELP;
    default:
      return IDC_ARROW;
  }
}

}  // namespace

HCURSOR ScreenCursor() {
  if (t_screenPointer == vbDefault) return nullptr;
  return ::LoadCursorW(nullptr, CursorFor(t_screenPointer));
}

void Win32PlatformPort::MsgBox(const std::string& prompt, int style) {
  const std::wstring text = Wide(prompt);
  const std::wstring title = Wide(identity::kApplicationTitle);
  ::MessageBoxW(::GetActiveWindow(), text.c_str(), title.c_str(),
                static_cast<UINT>(style) | MB_OK | MB_SETFOREGROUND);
}

void Win32PlatformPort::SetMousePointer(int pointer) {
  t_screenPointer = pointer;
  HCURSOR cursor = ScreenCursor();
  // A run does not go back to the message loop while it works: show the pointer now.
  ::SetCursor(cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_ARROW));
}

std::wstring SettingsKey(const std::string& appName, const std::string& section) {
  return L"Software\\VB and VBA Program Settings\\" + Wide(appName) + L"\\" + Wide(section);
}

void Win32PlatformPort::SaveSetting(const std::string& appName, const std::string& section,
                                    const std::string& key, const std::string& value) {
  HKEY folder = nullptr;
  const std::wstring name = Wide(key);
  const std::wstring text = Wide(value);
  LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(appName, section).c_str(), 0,
                                     nullptr, 0, KEY_SET_VALUE, nullptr, &folder, nullptr);
  if (status == ERROR_SUCCESS) {
    status = ::RegSetValueExW(folder, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(folder);
  }
  if (status != ERROR_SUCCESS) throw err::runtime(err::kPathFileAccess);
}

std::string Win32PlatformPort::DecimalSeparator() const {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return ".";
  return Narrow(separator);
}

}  // namespace oq::win32
