#pragma once

#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "careful_host/copy_session.h"

namespace oq::careful {

// The one shape of every JSON object the program prints, whatever the command and however it
// ends: {"version", "ok", "error": {"code", "message"} | null, ...the command's own fields}.
// "ok" is true exactly when the exit status is 0. The codes are stable; scripts test them.
namespace error_code {
inline constexpr const char* kNumberTaken = "number-taken";     // a new number exists (exit 1)
inline constexpr const char* kBadArgument = "bad-argument";     // an option or argument (exit 2)
inline constexpr const char* kCheckFailed = "check-failed";     // a database, before writing (2)
inline constexpr const char* kRunFailed = "run-failed";         // a fault during the run (exit 1)
inline constexpr const char* kInterrupted = "interrupted";      // SIGINT or SIGTERM (130, 143)
inline constexpr const char* kItemsLeftOut = "items-left-out";  // split: items in neither (3)
inline constexpr const char* kNotFound = "not-found";           // setting: no such value (exit 1)
// undo, each exit 2 with nothing deleted:
inline constexpr const char* kNotRecorded = "not-recorded";    // no recorded copy of ours made it
inline constexpr const char* kChanged = "changed";             // its rows differ from the copy's
inline constexpr const char* kReferenced = "referenced";       // other rows refer to it
inline constexpr const char* kNotConfirmed = "not-confirmed";  // the question was not answered yes
}  // namespace error_code

struct CommandError {
  std::string code;  // one of error_code
  std::string message;
};

// "1.1.23": the version of the program that wrote the object.
std::string ProgramVersion();

// The object: the envelope, then each member of `fields` (an object) in its order.
nlohmann::ordered_json Envelope(
    const std::optional<CommandError>& error,
    const nlohmann::ordered_json& fields = nlohmann::ordered_json::object());

// Envelope(error, fields) on one line, as JsonText writes it.
std::string EnvelopeText(const std::optional<CommandError>& error,
                         const nlohmann::ordered_json& fields = nlohmann::ordered_json::object());

// The error of a command refused before it wrote anything: a failed check (CheckRefusal,
// PreflightError), a fault of the component (Failure) or a refused argument (anything else).
CommandError RefusalError(const std::exception& refusal);

// Why a copy session did not succeed (nothing when its status is 0): interrupted, a fault, or
// numbers found taken (the log's lines that say so).
std::optional<CommandError> CopyError(const CopyResult& result);

}  // namespace oq::careful
