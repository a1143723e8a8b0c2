#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "connectors/sqlite/sqlite_connection.h"
#include "server/win32/dispatch_caller.h"

namespace oq::wintest {

inline bool g_refuseCreation = false;  // the host components' classes refuse to make objects

// Registers for this thread a class of ADODB.Recordset's id that counts what it makes.
inline long g_ownRecordsets = 0;
void RegisterOwnRecordsetClass();

// cMAIN as a late-bound host creates it, by its registered name; null when it is not registered.
win32::ComRef<IDispatch> CreateMain();

// What a person saw in one showing: each message box's text and icon (as the style that asks for
// it: 16, 48, 64, or 0 for none), then the log and the new number (Text1) when ESC was pressed.
struct Showing {
  struct Box {
    std::string text;
    int style;
  };
  std::vector<Box> boxes;
  std::string log, number;
};

// Mostrar on `main`, while a person on another thread sends `keys` (xdotool commands) to the
// window, acknowledges each box (the first within `seconds`) and presses ESC.
Showing Show(const win32::DispatchCaller& main, const std::vector<std::string>& keys,
             double seconds = 60);

// A Windows host's session with cMAIN, for the test host and the COM benchmark: cMAIN created by
// its registered name and called by name, given connection objects over the demo databases in
// SQLite files, the host components registered for this thread, a date and the interno 2024-0101.
struct Session {
  using Wrap = std::function<std::shared_ptr<HostConnection>(std::shared_ptr<HostConnection>)>;
  std::shared_ptr<sqlite::SqliteConnection> internos, ncm;
  win32::DispatchCaller main;

  // The databases go in `folder`; `wrap`, if given, stands between each and its object.
  explicit Session(const std::filesystem::path& folder, const Wrap& wrap = nullptr);
  // Calls member `name` with `value` by reference, or assigns it to property `name`.
  void Call(const char* name, const Variant& value, bool property = false) const;
  // Column v of the first row of `query` on internos.
  Variant Scalar(const std::string& query) const;
};

}  // namespace oq::wintest
