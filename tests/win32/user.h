#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace oq::wintest {

// The person at the keyboard, played from a second thread while the host's thread is blocked in
// Mostrar: keys go to the real window through xdotool (the X display Wine draws on); message
// boxes and the log box are read from the windows themselves.
class User {
 public:
  // Waits up to `seconds` for frmMAIN's window; false when it did not appear.
  static bool WaitForForm(double seconds = 10);
  // xdotool with these arguments, e.g. "key F11" or "type W-1".
  static void Xdotool(const std::string& arguments);
  // Waits up to `seconds` for a message box titled oQUARDELINO, reads its text, presses Return
  // and returns the text; empty when none appeared.
  static std::string AcknowledgeBox(double seconds);
  // The text of the form's log box.
  static std::string LogText();
};

}  // namespace oq::wintest
