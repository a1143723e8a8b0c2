#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/cMAIN.h"
#include "host/host_connection.h"

namespace oq::careful {

// The session values a host hands to cMAIN besides the connections; the commands' options
// derive from it.
struct SessionValues {
  std::string source;
  std::optional<std::string> date;
  std::optional<int> maxLength;
};

// The two databases of a session.
struct SessionDatabases {
  std::shared_ptr<HostConnection> internos;
  std::shared_ptr<HostConnection> ncm;
};

// For --keep-partial, the component's own behaviour: every statement goes to the database as
// written, its literals in its text, nothing kept prepared (connectors::RoundTrips).
void SendTextsAsWritten(const SessionDatabases& databases);

// Today as a quoted SQL date literal, 'YYYY-MM-DD', in local time.
std::string TodayLiteral();

// Opens the internos database, then the NCM one, into `out` (neither is created when missing);
// the same URL twice gives one shared connection.
// Throws what OpenConnection throws; `out.internos` is then set exactly when the NCM one failed.
void OpenDatabases(SessionDatabases& out, const std::string& internosUrl,
                   const std::string& ncmUrl);

// Makes the open `databases` ready for a session: announces through `say` a wait of more than a
// second for another program's lock, and finishes what a program killed after a commit left
// undone on the internos database (its per-user marks, see mark_ledger.h). A store that cannot be
// read is reported through `say` too; the session goes on.
void PrepareDatabases(const SessionDatabases& databases,
                      const std::function<void(const std::string& line)>& say);

// What to check of the databases before a session may write.
struct SessionChecks {
  std::string source;                  // the interno to copy, which must have a cover sheet
  bool ncm = false;                    // whether ncm must hold what filtered copies look up
  std::optional<std::string> dateSql;  // an expression that must be one value (--date-sql)
  bool writable = true;                // whether the internos database must accept writes
};

// Opens the databases of the two URLs (the same URL twice: one connection), registers the
// components for their dialects, prepares them (PrepareDatabases, with `say`) and makes the
// checks. Throws Refusal with the message a user reads; nothing is written then.
SessionDatabases OpenChecked(const std::string& internosUrl, const std::string& ncmUrl,
                             const SessionChecks& checks,
                             const std::function<void(const std::string& line)>& say);

// Registers the host's component classes with the dialects of the two URLs. Throws
// std::invalid_argument for an unknown scheme.
void RegisterComponentsFor(const std::string& internosUrl, const std::string& ncmUrl);

// Hands the connections, a data-access manager, the date text (today when unset), the source
// interno and the length limit (when set) to `main`, as a host does before Mostrar. Failures of
// the component propagate.
void HandSessionToMain(cMAIN& main, const SessionDatabases& databases, const SessionValues& values);

}  // namespace oq::careful
