#include "careful_host/reports.h"

#include "engine/conversions.h"

namespace oq::careful {

void PrintCreated(std::ostream& out, const CreatedInterno& interno) {
  out << "created " << interno.interno << ": " << interno.items
      << (interno.items == 1 ? " item" : " items") << ", FOB " << rt::NumberToText(interno.fob, ".")
      << '\n';
}

nlohmann::ordered_json CreatedJson(const CreatedInterno& interno) {
  return {{"interno", interno.interno}, {"items", interno.items}, {"fob", interno.fob}};
}

nlohmann::ordered_json MessagesJson(const std::vector<ConsolePlatform::Message>& messages) {
  auto list = nlohmann::ordered_json::array();
  for (const auto& box : messages) list.push_back({{"style", box.style}, {"prompt", box.prompt}});
  return list;
}

nlohmann::ordered_json CopyResultJson(const CopyResult& result,
                                      const std::optional<std::string>& error) {
  nlohmann::ordered_json out;
  out["log"] = result.log;
  out["copias"] = result.copias;
  out["messages"] = MessagesJson(result.messages);
  out["pointer"] = result.pointer ? nlohmann::ordered_json(*result.pointer) : nullptr;
  out["created"] = nlohmann::ordered_json::array();
  for (const CreatedInterno& interno : result.created)
    out["created"].push_back(CreatedJson(interno));
  if (error) out["error"] = *error;
  return out;
}

nlohmann::ordered_json CommandJson(const std::string& code, const std::string& message) {
  nlohmann::ordered_json out;
  out["version"] = 1;
  out["ok"] = code.empty();
  out["error"] = code.empty() ? nlohmann::ordered_json(nullptr)
                              : nlohmann::ordered_json{{"code", code}, {"message", message}};
  return out;
}

std::string JsonText(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace oq::careful
