#include "careful_host/run_record.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace oq::careful {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string RecordText(const RunRecord& record) {
  nlohmann::json marks = nlohmann::json::array(), internos = nlohmann::json::array();
  for (const Mark& m : record.marks) marks.push_back({m.appName, m.section, m.key, m.value});
  for (const RecordedInterno& i : record.internos) {
    internos.push_back({{"interno", i.interno},
                        {"option", i.option},
                        {"run", i.run},
                        {"print", PrintJson(i.print)}});
  }
  return nlohmann::json{
      {"kind", record.kind},     {"when", record.when}, {"database", record.database},
      {"source", record.source}, {"marks", marks},      {"internos", internos}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

RunRecord ParseRecord(const std::string& text) {
  RunRecord record;
  const auto json = nlohmann::json::parse(text, nullptr, false);
  try {
    const auto& marks = json.is_array() ? json : json.at("marks");
    for (const auto& m : marks) {
      record.marks.push_back({m.at(0), m.at(1), m.at(2), m.at(3)});
    }
    if (json.is_array()) return record;
    record.kind = json.at("kind");
    record.when = json.at("when");
    record.database = json.at("database");
    record.source = json.at("source");
    for (const auto& i : json.at("internos")) {
      record.internos.push_back(
          {i.at("interno"), i.at("option"), PrintFromJson(i.at("print")), i.at("run")});
    }
  } catch (const nlohmann::json::exception&) {
    return {};
  }
  return record;
}

}  // namespace oq::careful
