#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace oq::app {

// An argument the copy command refuses; the message says what the option takes.
class ArgumentError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

inline constexpr int kMaxCopies = 32767;
// Above this many copies the program asks for a confirmation.
inline constexpr int kCopiesWithoutAsking = 50;

// --copies: a whole number from 1 to kMaxCopies, digits only.
int ParseCopies(const std::string& text);

// The number of copies the copies box makes of `text` (its leading number, rounded halves to
// even; 1 for anything below 2). Throws ArgumentError when the box would overflow.
int CopiesTheBoxMakes(const std::string& text);

// --new: any text but an empty or all-blank one.
void CheckNewNumber(const std::string& number, std::optional<int> maxLength);

// --date: a calendar date YYYY-MM-DD (also written between single quotes), as the quoted SQL
// literal 'YYYY-MM-DD' the cover sheets get.
std::string DateLiteral(const std::string& text);

// --internos (required), --ncm and --source (required, described as "The number of the interno
// to " + `sourceUse`): the databases and the source interno of copy, preview and split.
void AddDatabaseOptions(CLI::App& command, std::string& internos, std::string& ncm,
                        std::string& source, const std::string& sourceUse);

// The options both copying commands share: --date and --date-sql (one or the other), and
// --keep-partial.
void AddRunOptions(CLI::App& command, std::optional<std::string>& date,
                   std::optional<std::string>& dateSql, bool& keepPartial);

}  // namespace oq::app
