#pragma once

#include <functional>
#include <optional>
#include <string>

#include "careful_host/main_session.h"

namespace oq::careful {

// The copy dialog as our program shows it.
struct DialogRequest : SessionValues {
  std::string internosUrl;
  std::string ncmUrl;
  std::optional<std::string> dateSql;  // set when `date` is an expression of the user's
  bool keepPartial = false;
  bool preview = false;    // show the preview window first
  std::string screenshot;  // draw the dialog into this PNG instead of showing it
};

// Opens and checks the databases (their tables, the source, --date-sql), hands them to cMAIN and
// shows the copy dialog with every F11 guarded (RunGuard, interruptions deferred only while a run
// writes), after the preview window when asked; returns when the dialog is closed: 0, or 128 +
// the signal that interrupted a run. With a screenshot asked for, draws the dialog as it looks
// after start-up instead. Needs a QApplication. Throws Refusal before the dialog shows, and the
// component's Failure. `say` receives the program's own lines.
int RunDialogSession(const DialogRequest& request,
                     const std::function<void(const std::string& line)>& say);

}  // namespace oq::careful
