#pragma once

#include <string>
#include <vector>

#include "careful_host/interno_print.h"
#include "careful_host/run_guard.h"

namespace oq::careful {

// An interno a recorded run made or undid: its number, the option of the copy, its print as the
// copy left it and, for an undo, the run that made it.
struct RecordedInterno {
  std::string interno, option;
  InternoPrint print;
  std::string run;
};

// What the program records of a run in the user's settings store, first as a pending record and,
// once the database has committed, in the history: a copy (the marks it writes, the internos it
// made) or an undo (the marks it removes, the internos it deleted). Older pending records held
// marks alone; they read as a copy with no internos.
struct RunRecord {
  std::string kind = "copy";  // or "undo"
  std::string when;           // UTC, as 2024-05-17T10:30:00Z
  std::string database;       // TransactionControl::DatabaseIdentity
  std::string source;         // the interno copied
  std::vector<Mark> marks;
  std::vector<RecordedInterno> internos;
};

// Now as RunRecord::when.
std::string UtcNow();

std::string RecordText(const RunRecord& record);
// The record a text holds; an unreadable one reads as an empty copy.
RunRecord ParseRecord(const std::string& text);

}  // namespace oq::careful
