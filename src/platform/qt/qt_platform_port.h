#pragma once

#include <QCursor>
#include <QMessageBox>

#include "engine/platform_port.h"
#include "platform/settings_store.h"

namespace oq::qt {

// The platform as the window shows it: real message boxes, the application-wide pointer, the
// user's settings store and regional settings. Needs a QApplication; call from the GUI thread.
class QtPlatformPort : public PlatformPort {
 public:
  explicit QtPlatformPort(SettingsStore store = SettingsStore::ForCurrentUser());

  // A modal QMessageBox titled "oQUARDELINO", with `prompt` as its text (line breaks as given), an
  // OK button and the icon of `style`: 0 none, 16 critical, 48 exclamation (warning), 64
  // information. Returns when the user has closed it.
  void MsgBox(const std::string& prompt, int style) override;
  // Sets the application's override cursor (11 busy, 1 arrow, ...), replacing the one in force;
  // 0 removes it. It stays in force over every window until set again.
  void SetMousePointer(int pointer) override;
  // Writes to the settings store given at construction; throws Failure 75 when it cannot.
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::string DecimalSeparator() const override;

 private:
  SettingsStore store_;
};

// The message box icon of a style (its icon bits: 16, 32, 48, 64).
QMessageBox::Icon IconForStyle(int style);
// The pointer shape of a pointer value; Qt::ArrowCursor for values with no shape of their own.
Qt::CursorShape CursorForPointer(int pointer);

}  // namespace oq::qt
