#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "careful_host/run_record.h"

namespace oq::careful {

// What to undo: internos that copies recorded in the user's history made on the database.
struct UndoRequest {
  std::string internosUrl;
  std::vector<std::string> numbers;  // each undoes the newest run that made it
  std::string run;                   // or every interno of this run still standing
};

// An interno to undo: the run that made it, as the run recorded it, and its marks.
struct UndoTarget {
  std::string run;
  RecordedInterno interno;
  std::vector<Mark> marks;
};

struct UndoResult {
  int status = 2;     // an exit status of exit_status.h, or 128 + a signal
  std::string code;   // why not (empty when done): not-recorded, changed, referenced, ...
  std::string error;  // the sentence a user reads
  std::vector<UndoTarget> targets;
  // Each interno that stopped the undo, with what changed or refers to it ("1 item edited, 2
  // invoices added").
  std::vector<std::pair<std::string, std::string>> refused;
};

// Takes back what recorded copies made: in one transaction with the locks a copy takes, deletes
// the items, invoices and cover sheet of each target, and the store then forgets its mark and
// marks it undone in the history (pending first, as a copy's record, mark_ledger.h). Only when
// every target is exactly as its copy left it and no other rows refer to it; otherwise nothing is
// deleted and `refused` says why. `confirm` sees the targets first and may decline (nothing is
// done then). Lines about the session (a wait, a record settled late) go to `notes`.
UndoResult RunUndo(const UndoRequest& request,
                   const std::function<bool(const std::vector<UndoTarget>&)>& confirm,
                   std::ostream& notes);

// "undone B1 (run 3): 3 items, FOB 12.5" per target; or, refused, one line per reason.
void PrintUndo(std::ostream& out, const UndoResult& result);
// {"undone": [{"interno", "run", "items", "fob"}], "refused": [{"interno", "reason"}]}.
nlohmann::ordered_json UndoJson(const UndoResult& result);

}  // namespace oq::careful
