#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "careful_host/copy_session.h"
#include "careful_host/json_envelope.h"
#include "careful_host/preview.h"

namespace oq::careful {

// A split: the licence-bound (con LAPI) and the free (sin LAPI) copy of one interno, as two F11
// runs in one transaction (both are made or neither), reconciled with the source.
struct SplitRequest : SessionValues {
  std::string internosUrl;
  std::string ncmUrl;
  std::string con;  // the new number of each copy
  std::string sin;
  std::optional<std::string> dateSql;  // set when `date` is an expression of the user's
  bool keepPartial = false;
  bool progress = false;
  bool numberAsTyped = false;  // keep blanks around --con and --sin
};

struct SplitResult {
  Preview preview;  // of the source, read before the runs
  CopyResult copy;
  std::optional<CreatedInterno> con, sin;
  // As the copy's, but kExitItemsLeftOut when both were made and some items are in neither.
  int status = 1;
};

// Checks the arguments and the databases, previews the source, makes both copies and says what
// became of them; the streams as for RunCopySession. Throws Refusal, with nothing written.
SplitResult RunSplit(const SplitRequest& request, std::ostream* log, std::ostream* boxes,
                     std::ostream& notes);

// The FOB totals against the source's, and each item in neither copy with the reason.
void PrintReconciliation(std::ostream& out, const SplitResult& split);
// {"status", "con", "sin", "fobdivisas", "neither": [{"id", "ncm", "fob", "reason"}], "log",
// "messages"}.
nlohmann::ordered_json SplitJson(const SplitResult& split);
// Why a split did not succeed, as CopyError, or items-left-out (exit status 3).
std::optional<CommandError> SplitError(const SplitResult& split);

}  // namespace oq::careful
