#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "careful_host/copy_session.h"

namespace oq::careful {

// What the commands print of a copy, as text and as JSON.

// "created NUMBER: N items, FOB TOTAL": one line per interno a run made.
void PrintCreated(std::ostream& out, const CreatedInterno& interno);

// An interno made: {"interno", "items", "fob"}.
nlohmann::ordered_json CreatedJson(const CreatedInterno& interno);
// The boxes a run showed: [{"style", "prompt"}].
nlohmann::ordered_json MessagesJson(const std::vector<ConsolePlatform::Message>& messages);
// A copy session's own fields: {"log", "copias", "messages", "pointer", "created"}.
nlohmann::ordered_json CopyResultJson(const CopyResult& result);

// `json` on one line. Texts read from a database need not be valid UTF-8: what is not is shown
// as the replacement character rather than failing the output.
std::string JsonText(const nlohmann::ordered_json& json);

}  // namespace oq::careful
