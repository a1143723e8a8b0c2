#include "careful_host/json_envelope.h"

#include <string.h>

#include "careful_host/component_texts.h"
#include "careful_host/preflight.h"
#include "careful_host/reports.h"
#include "careful_host/request_checks.h"
#include "host/class_identity.h"
#include "host/failure.h"

namespace oq::careful {

namespace {

// The lines of a log (its line ends are CR LF) that `holds` recognises, joined by "; ".
std::string LinesThat(const std::string& log, bool (*holds)(const std::string&)) {
  std::string lines;
  for (std::size_t start = 0; start < log.size();) {
    std::size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    if (holds(line)) lines += (lines.empty() ? "" : "; ") + line;
    start = end + 2;
  }
  return lines;
}

}  // namespace

std::string ProgramVersion() {
  return std::to_string(identity::kVersionMajor) + "." + std::to_string(identity::kVersionMinor) +
         "." + std::to_string(identity::kVersionRevision);
}

nlohmann::ordered_json Envelope(const std::optional<CommandError>& error,
                                const nlohmann::ordered_json& fields) {
  nlohmann::ordered_json out;
  out["version"] = ProgramVersion();
  out["ok"] = !error;
  out["error"] = error ? nlohmann::ordered_json{{"code", error->code}, {"message", error->message}}
                       : nlohmann::ordered_json();
  for (const auto& [key, value] : fields.items()) out[key] = value;
  return out;
}

std::string EnvelopeText(const std::optional<CommandError>& error,
                         const nlohmann::ordered_json& fields) {
  return JsonText(Envelope(error, fields));
}

CommandError RefusalError(const std::exception& refusal) {
  if (dynamic_cast<const CheckRefusal*>(&refusal) != nullptr ||
      dynamic_cast<const PreflightError*>(&refusal) != nullptr) {
    return {error_code::kCheckFailed, refusal.what()};
  }
  if (dynamic_cast<const Failure*>(&refusal) != nullptr) {
    return {error_code::kRunFailed, refusal.what()};
  }
  return {error_code::kBadArgument, refusal.what()};
}

std::optional<CommandError> CopyError(const CopyResult& result) {
  if (result.status == 0) return std::nullopt;
  const std::optional<RunOutcome>& outcome = result.outcome;
  if (outcome && outcome->signal != 0) {
    return CommandError{
        error_code::kInterrupted,
        std::string("interrupted by SIG") + ::sigabbrev_np(outcome->signal) +
            (outcome->kept ? ": what the run wrote stays" : ": nothing was written")};
  }
  if (outcome && !outcome->kept) {
    return CommandError{error_code::kRunFailed, RunGuard::DiscardedLine(*outcome)};
  }
  if (!result.failure.empty()) return CommandError{error_code::kRunFailed, result.failure};
  if (LogsFailedStep(result.log)) {
    return CommandError{error_code::kRunFailed, LinesThat(result.log, LogsFailedStep)};
  }
  if (LogsTakenNumber(result.log)) {
    return CommandError{error_code::kNumberTaken, LinesThat(result.log, LogsTakenNumber)};
  }
  for (const ConsolePlatform::Message& box : result.messages) {
    if (IsFailureBox(box.style)) return CommandError{error_code::kRunFailed, box.prompt};
  }
  return CommandError{error_code::kRunFailed, "the run did not reach its end"};
}

}  // namespace oq::careful
