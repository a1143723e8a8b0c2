#include "careful_host/history.h"

#include <ctime>
#include <memory>

#include "careful_host/connection_url.h"
#include "careful_host/preview_output.h"
#include "careful_host/request_checks.h"
#include "connectors/common/transaction_control.h"
#include "engine/conversions.h"
#include "host/failure.h"

namespace oq::careful {

std::string UtcText(std::int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  ::gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::vector<HistoryRun> ReadHistory(const SettingsStore& store, const std::string& database,
                                    const std::string& number) {
  std::vector<HistoryRun> runs;
  for (const HistoryEntry& entry : store.History(database, number)) {
    HistoryRun run{entry.run, ParseRecord(entry.content), {}};
    for (const RecordedInterno& interno : run.record.internos) {
      std::int64_t undone = 0;
      for (const auto& [made, when] : entry.numbers) {
        if (made == interno.interno) undone = when;
      }
      run.undone.push_back(undone);
    }
    runs.push_back(std::move(run));
  }
  return runs;
}

std::string IdentityOf(const std::string& url) {
  try {
    const std::shared_ptr<HostConnection> connection = OpenConnectionReadOnly(url);
    auto* control = dynamic_cast<connectors::TransactionControl*>(connection.get());
    if (control == nullptr) throw Refusal("the database " + url + " cannot tell its identity");
    return control->DatabaseIdentity();
  } catch (const Failure& failure) {
    throw Refusal("cannot open the database " + url + ": " + failure.description());
  } catch (const std::invalid_argument& e) {
    throw Refusal("cannot open the database " + url + ": " + e.what());
  }
}

void PrintHistory(std::ostream& out, const std::vector<HistoryRun>& runs) {
  for (const HistoryRun& run : runs) {
    out << "run " << run.run << ", " << run.record.when << ", " << run.record.database
        << ": copy of " << run.record.source << '\n';
    for (std::size_t i = 0; i < run.record.internos.size(); ++i) {
      const RecordedInterno& interno = run.record.internos[i];
      out << "  " << interno.interno << " (" << interno.option << "): " << interno.print.items
          << (interno.print.items == 1 ? " item" : " items") << ", FOB "
          << FobText(interno.print.fob);
      if (run.undone[i] != 0) out << ", undone " << UtcText(run.undone[i]);
      out << '\n';
    }
  }
}

nlohmann::ordered_json HistoryJson(const std::vector<HistoryRun>& runs) {
  auto list = nlohmann::ordered_json::array();
  for (const HistoryRun& run : runs) {
    auto internos = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < run.record.internos.size(); ++i) {
      const RecordedInterno& interno = run.record.internos[i];
      internos.push_back(
          {{"interno", interno.interno},
           {"option", interno.option},
           {"items", interno.print.items},
           {"fob", interno.print.fob},
           {"undone", run.undone[i] != 0 ? nlohmann::ordered_json(UtcText(run.undone[i]))
                                         : nlohmann::ordered_json(nullptr)}});
    }
    list.push_back({{"run", std::stol(run.run)},
                    {"when", run.record.when},
                    {"database", run.record.database},
                    {"source", run.record.source},
                    {"internos", internos}});
  }
  return list;
}

}  // namespace oq::careful
