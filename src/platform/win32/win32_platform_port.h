#pragma once

#include <windows.h>

#include <string>

#include "engine/platform_port.h"

namespace oq::win32 {

// The platform port on Windows: MessageBoxW titled with the component's application title, the
// screen-wide pointer, the platform's per-user settings store in the registry and the user's
// decimal separator from the locale.
class Win32PlatformPort : public PlatformPort {
 public:
  // Modal to the thread's active window (the form); the style's icon bits go to MessageBoxW.
  void MsgBox(const std::string& prompt, int style) override;
  // The pointer stays over every window of the component until set back to vbDefault.
  void SetMousePointer(int pointer) override;
  // HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<appName>\<section>, value <key>,
  // REG_SZ <value>: where the platform's own settings functions keep them. Throws Failure 75 when
  // the registry refuses.
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::string DecimalSeparator() const override;
};

// The cursor the screen-wide pointer asks for, or null while it is vbDefault (each window then
// shows its own).
HCURSOR ScreenCursor();

// The registry key, under HKEY_CURRENT_USER, of a section of the settings store.
std::wstring SettingsKey(const std::string& appName, const std::string& section);

}  // namespace oq::win32
