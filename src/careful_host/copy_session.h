#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "careful_host/console_platform.h"
#include "careful_host/main_session.h"
#include "careful_host/run_guard.h"
#include "connectors/common/transaction_control.h"

namespace oq::careful {

// One copy as the copy command makes it: the session values, the new number and the copies box
// as they are typed, the option, and whether the run is all-or-nothing.
struct CopyRequest : SessionValues {
  std::string newNumber;
  std::string copiesText = "1";
  std::string option = "todos";  // todos, con-lapi or sin-lapi
  bool keepPartial = false;
  // Show the run's progress on standard error (a terminal's).
  bool progress = false;
  // Further F11 presses after the first, each with its option and new number; all the runs then
  // share one transaction (unless keepPartial).
  struct Press {
    std::string option;
    std::string newNumber;
  };
  std::vector<Press> morePresses;
  // The command named in the program's own lines.
  std::string command = "copy";
};

// An interno the run made: its number, the items it holds and its cover sheet's FOB total.
struct CreatedInterno {
  std::string interno;
  long items = 0;
  double fob = 0;
};

// What the session showed and how it ended.
struct CopyResult {
  int status = 1;  // an exit status of exit_status.h, or 128 + a signal
  std::string log;
  std::string copias;
  std::vector<ConsolePlatform::Message> messages;
  std::optional<int> pointer;
  std::optional<RunOutcome> outcome;  // of the F11 run, when it ran
  std::vector<CreatedInterno> created;
  // The component's failure that ended the session before its end, as the notes said it.
  std::string failure;
};

// The guard the program's commands run copies under: `control` (null: keep partial copies), the
// marks staged in the user's settings store (mark_ledger.h), interruptions from the program's
// signal handlers; `warn` receives the program's own warnings, `onWriting` as RunGuardHooks.
// The runs' records name `source` as the interno copied.
std::unique_ptr<RunGuard> MakeProgramRunGuard(std::shared_ptr<HostConnection> internos,
                                              connectors::TransactionControl* control,
                                              std::function<void(const std::string&)> warn,
                                              std::function<void(bool writing)> onWriting = {},
                                              const std::string& source = {});

// A copy as a command names it: the databases by URL and the copy to make.
struct CopyJob {
  std::string internosUrl;
  std::string ncmUrl;  // the internos database's URL when it holds ncm too
  CopyRequest request;
  std::optional<std::string> dateSql;  // set when request.date is an expression of the user's
};

// Opens and checks the databases (OpenChecked), then runs the session as RunCopySession does,
// in one transaction unless the request keeps partial copies; signals are handled from here on.
// Throws Refusal before anything is written.
CopyResult RunCopyJob(const CopyJob& job, std::ostream* log, std::ostream* boxes,
                      std::ostream& notes);

// Shows frmMAIN without a window on the open `databases`, as a user at the window would: types
// the new number and the copies, picks the option, presses F11 (one run, in one transaction
// through `control` unless the request keeps partial copies or `control` is null), then ESC.
// The log goes to `log` as it grows and each message box to `boxes` (either may be null); the
// program's own lines (a discarded run, an interruption, a failure of the component) go to
// `notes`. Success: the run reached its end line, kept its writes, and no box reported a failure
// and no copy was logged as failed or taken.
CopyResult RunCopySession(const SessionDatabases& databases,
                          connectors::TransactionControl* control, const CopyRequest& request,
                          std::ostream* log, std::ostream* boxes, std::ostream& notes);

}  // namespace oq::careful
