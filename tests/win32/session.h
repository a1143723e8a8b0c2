#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "connectors/sqlite/sqlite_connection.h"
#include "server/win32/dispatch_caller.h"

namespace oq::wintest {

// A Windows host's session with cMAIN, for the test host and the COM benchmark: cMAIN created by
// its registered name and called by name, given connection objects over the demo databases in
// SQLite files, the host components registered for this process, a date and the interno 2024-0101.
struct Session {
  using Wrap = std::function<std::shared_ptr<HostConnection>(std::shared_ptr<HostConnection>)>;
  std::shared_ptr<sqlite::SqliteConnection> internos, ncm;
  win32::DispatchCaller main;

  // The databases go in `folder`; `wrap`, if given, stands between each and its object.
  explicit Session(const std::filesystem::path& folder, const Wrap& wrap = nullptr);
  // Calls member `name` with `value` by reference, or assigns it to property `name`.
  void Call(const char* name, const Variant& value, bool property = false) const;
  // Mostrar, while a person on another thread sends `keys` (xdotool commands) to the window,
  // acknowledges each box (the first within `seconds`) and presses ESC. Returns the boxes' texts
  // and, last, the log's.
  std::vector<std::string> Show(const std::vector<std::string>& keys, double seconds = 60);
  // Column v of the first row of `query` on internos.
  Variant Scalar(const std::string& query) const;
};

}  // namespace oq::wintest
