#include "careful_host/undo.h"

#include <algorithm>
#include <memory>

#include "careful_host/connection_url.h"
#include "careful_host/foreign_refs.h"
#include "careful_host/history.h"
#include "careful_host/interrupts.h"
#include "careful_host/json_envelope.h"
#include "careful_host/main_session.h"
#include "careful_host/mark_ledger.h"
#include "careful_host/preview_output.h"
#include "connectors/common/transaction_control.h"
#include "engine/conversions.h"
#include "engine/sql_text.h"
#include "host/failure.h"

namespace oq::careful {

namespace {

UndoResult Stopped(int status, std::string code, std::string error) {
  UndoResult result;
  std::tie(result.status, result.code, result.error) = std::tie(status, code, error);
  return result;
}

void AddTarget(std::vector<UndoTarget>& targets, const HistoryRun& run, std::size_t i) {
  UndoTarget target{run.run, run.record.internos[i], {}};
  target.interno.run = run.run;
  for (const Mark& mark : run.record.marks) {
    if (mark.key == target.interno.interno) target.marks.push_back(mark);
  }
  targets.push_back(std::move(target));
}

// The internos the request names, as the history of `database` recorded them; what is not
// recorded goes to `problems`.
std::vector<UndoTarget> FindTargets(const SettingsStore& store, const UndoRequest& request,
                                    const std::string& database,
                                    std::vector<std::string>& problems) {
  std::vector<UndoTarget> targets;
  if (!request.run.empty()) {
    const auto runs = ReadHistory(store, database);
    const auto run = std::ranges::find(runs, request.run, &HistoryRun::run);
    if (run == runs.end()) {
      const auto anywhere = ReadHistory(store);
      const auto other = std::ranges::find(anywhere, request.run, &HistoryRun::run);
      problems.push_back(other == anywhere.end()
                             ? "there is no run " + request.run + " in the history"
                             : "run " + request.run + " was made on " + other->record.database);
      return targets;
    }
    for (std::size_t i = 0; i < run->undone.size(); ++i) {
      if (run->undone[i] == 0) AddTarget(targets, *run, i);
    }
    if (targets.empty()) problems.push_back("every interno of run " + request.run + " is undone");
  }
  for (const std::string& number : request.numbers) {
    if (std::ranges::any_of(targets, [&](const auto& t) { return t.interno.interno == number; })) {
      continue;
    }
    bool undone = false, found = false;
    for (const HistoryRun& run : ReadHistory(store, database, number)) {
      for (std::size_t i = 0; i < run.undone.size() && !found; ++i) {
        if (run.record.internos[i].interno != number) continue;
        undone = true;
        if (run.undone[i] == 0) AddTarget(targets, run, i), found = true;
      }
      if (found) break;
    }
    if (!found) {
      problems.push_back(number + (undone ? " is already undone"
                                          : " was not made by a copy recorded on this database"));
    }
  }
  return targets;
}

// Why `target` may not go: what changed since its copy, or what refers to it.
std::vector<std::string> Objections(HostConnection& db, const std::vector<ForeignKey>& keys,
                                    const UndoTarget& target, bool& referenced) {
  const auto now = ReadPrint(db, target.interno.interno);
  if (!now) return {"its cover sheet is gone"};
  std::vector<std::string> objections = Changes(target.interno.print, *now);
  if (auto reference = ReferenceInto(db, keys, target.interno.interno)) {
    objections.push_back(*reference);
    referenced = true;
  }
  return objections;
}

}  // namespace

UndoResult RunUndo(const UndoRequest& request,
                   const std::function<bool(const std::vector<UndoTarget>&)>& confirm,
                   std::ostream& notes) {
  SessionDatabases databases;
  try {
    OpenDatabases(databases, request.internosUrl, request.internosUrl);
  } catch (const std::exception& e) {
    return Stopped(2, error_code::kCheckFailed,
                   "cannot open the database " + request.internosUrl + ": " + e.what());
  }
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  if (control == nullptr) return Stopped(2, error_code::kCheckFailed, "this database keeps no history");
  PrepareDatabases(databases, [&notes](const std::string& line) {
    notes << "oquardelino undo: " << line << '\n';
  });
  HostConnection& db = *databases.internos;
  const SettingsStore store = SettingsStore::ForCurrentUser();
  UndoResult result;
  std::string database, id;
  RunRecord record;
  try {
    database = control->DatabaseIdentity();
    std::vector<std::string> problems;
    result.targets = FindTargets(store, request, database, problems);
    if (!problems.empty()) {
      std::string all;
      for (const std::string& problem : problems) all += (all.empty() ? "" : "; ") + problem;
      return Stopped(2, error_code::kNotRecorded, all + "; nothing was deleted");
    }
    if (!confirm(result.targets))
      return Stopped(2, error_code::kNotConfirmed,
                     "not confirmed (--yes undoes without asking): nothing was deleted");
    InstallInterruptHandlers();
    RunSpan span;
    control->BeginRun();
    try {
      const auto keys = KeysIntoInternos(db, DialectOf(request.internosUrl));
      bool referenced = false;
      for (const UndoTarget& target : result.targets) {
        control->LockNumber(target.interno.interno);
        std::string why;
        for (const std::string& objection : Objections(db, keys, target, referenced)) {
          why += (why.empty() ? "" : ", ") + objection;
        }
        if (!why.empty()) result.refused.emplace_back(target.interno.interno, why);
      }
      if (!result.refused.empty()) {
        control->RollbackRun();
        const auto& [number, why] = result.refused.front();
        return {2, referenced ? error_code::kReferenced : error_code::kChanged,
                number + " cannot be undone: " + why + "; nothing was deleted", result.targets,
                result.refused};
      }
      record = {"undo", UtcNow(), database, {}, {}, {}};
      for (const UndoTarget& target : result.targets) {
        for (auto table = kInternoTables.rbegin(); table != kInternoTables.rend(); ++table) {
          db.put_sql(std::string("delete from ") + *table + " where interno = '" +
                     sql::Escape(target.interno.interno) + "'");
          db.ejecutar();
        }
        record.internos.push_back(target.interno);
        record.marks.insert(record.marks.end(), target.marks.begin(), target.marks.end());
      }
      if (const int signal = PendingSignal(); signal != 0) {
        control->RollbackRun();
        return Stopped(128 + signal, error_code::kInterrupted, "interrupted: nothing was deleted");
      }
      id = StageRecord(store, record);
    } catch (...) {
      control->RollbackRun();
      throw;
    }
    try {
      control->CommitRun();
    } catch (const Failure&) {
      store.CompletePending(id, RolledBack(record));
      throw;
    }
  } catch (const Failure& failure) {
    return Stopped(1, error_code::kRunFailed, "nothing was deleted: " + failure.description());
  }
  try {
    store.CompletePending(id, CompletionOf(record));
  } catch (const Failure& failure) {
    notes << "oquardelino undo: the internos are deleted; their marks and history are settled the "
             "next time the program opens this database ("
          << failure.description() << ")\n";
  }
  result.status = 0;
  if (const int signal = PendingSignal(); signal != 0) {
    notes << "oquardelino undo: interrupted after the undo was committed: it stands\n";
    result.status = 128 + signal;
  }
  return result;
}

void PrintUndo(std::ostream& out, const UndoResult& result) {
  if (!result.code.empty()) return;
  for (const UndoTarget& target : result.targets) {
    const InternoPrint& print = target.interno.print;
    out << "undone " << target.interno.interno << " (run " << target.run << "): " << print.items
        << (print.items == 1 ? " item" : " items") << ", FOB " << FobText(print.fob)
        << '\n';
  }
}

nlohmann::ordered_json UndoJson(const UndoResult& result) {
  nlohmann::ordered_json out;
  out["undone"] = nlohmann::ordered_json::array();
  for (const UndoTarget& target :
       result.code.empty() ? result.targets : std::vector<UndoTarget>{}) {
    out["undone"].push_back({{"interno", target.interno.interno},
                             {"run", std::stol(target.run)},
                             {"items", target.interno.print.items},
                             {"fob", target.interno.print.fob}});
  }
  out["refused"] = nlohmann::ordered_json::array();
  for (const auto& [number, why] : result.refused) {
    out["refused"].push_back({{"interno", number}, {"reason", why}});
  }
  return out;
}

}  // namespace oq::careful
