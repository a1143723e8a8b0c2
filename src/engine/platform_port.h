#pragma once

#include <string>

namespace oq {

// Message-box styles the copy procedures use (an OK button in every case).
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;

// Screen-wide mouse pointer values.
inline constexpr int vbDefault = 0;
inline constexpr int vbArrow = 1;
inline constexpr int vbHourglass = 11;

// What the copy procedures need of the platform they run on. The Qt window implements it with real
// message boxes and pointers, the command line by printing, tests by recording. Calls come from
// the thread that runs the copy.
class PlatformPort {
 public:
  PlatformPort() = default;
  PlatformPort(const PlatformPort&) = delete;
  PlatformPort& operator=(const PlatformPort&) = delete;
  virtual ~PlatformPort() = default;

  // Shows a modal message box with an OK button, `prompt` as its text and `style` (vbOKOnly,
  // vbCritical, vbExclamation or vbInformation) as its icon, titled with the component's
  // application title; returns when the user has acknowledged it.
  virtual void MsgBox(const std::string& prompt, int style) = 0;

  // Sets the screen-wide mouse pointer (vbHourglass, vbArrow, ...). It stays in force over the
  // whole application until set again.
  virtual void SetMousePointer(int pointer) = 0;

  // Writes a per-user setting. Throws Failure when the store cannot be written.
  virtual void SaveSetting(const std::string& appName, const std::string& section,
                           const std::string& key, const std::string& value) = 0;

  // The decimal separator of the user's regional settings ("." or ","), used where numbers are
  // written as text.
  virtual std::string DecimalSeparator() const = 0;
};

}  // namespace oq
