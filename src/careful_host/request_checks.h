#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace oq::careful {

// An argument the copy command refuses; the message says what the option takes.
class ArgumentError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A command refused before it wrote anything: an argument, a database that cannot be opened or a
// check that failed. The message says what, and that nothing was written where it matters.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A refusal by the checks of the databases: one cannot be opened, lacks a table or a column, has
// no such source interno, does not accept writes.
class CheckRefusal : public Refusal {
 public:
  using Refusal::Refusal;
};

inline constexpr int kMaxCopies = 32767;
// Above this many copies the program asks for a confirmation.
inline constexpr int kCopiesWithoutAsking = 50;

// --copies: a whole number from 1 to kMaxCopies, digits only.
int ParseCopies(const std::string& text);

// The number of copies the copies box makes of `text` (its leading number, rounded halves to
// even; 1 for anything below 2). Throws ArgumentError when the box would overflow.
int CopiesTheBoxMakes(const std::string& text);

// --new: any text but an empty or all-blank one, with no blank before or after it unless
// `asTyped` (the number is then kept exactly as typed, as the dialog's box keeps it).
void CheckNewNumber(const std::string& number, std::optional<int> maxLength, bool asTyped = false);

// --date: a calendar date YYYY-MM-DD (also written between single quotes), as the quoted SQL
// literal 'YYYY-MM-DD' the cover sheets get.
std::string DateLiteral(const std::string& text);

}  // namespace oq::careful
