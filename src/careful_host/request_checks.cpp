#include "careful_host/request_checks.h"

#include <cctype>
#include <chrono>
#include <cstdio>

#include "engine/conversions.h"
#include "host/failure.h"

namespace oq::careful {

int ParseCopies(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 5 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const int value = digits ? std::stoi(text) : 0;
  if (value < 1 || value > kMaxCopies) {
    throw ArgumentError("--copies takes a whole number from 1 to " + std::to_string(kMaxCopies) +
                        ", not '" + text +
                        "' (to type a text into the copies box as a clerk would, use "
                        "--copies-as-typed)");
  }
  return value;
}

int CopiesTheBoxMakes(const std::string& text) {
  try {
    const int count = rt::CInt(rt::Val(text));
    return count > 1 ? count : 1;
  } catch (const Failure&) {
    throw ArgumentError("--copies-as-typed '" + text +
                        "' overflows the copies box (it holds -32768 to 32767)");
  }
}

void CheckNewNumber(const std::string& number, std::optional<int> maxLength, bool asTyped) {
  if (number.find_first_not_of(" \t") == std::string::npos) {
    throw ArgumentError("--new must name the new interno: it is empty or all blanks");
  }
  if (!asTyped && (std::isblank(static_cast<unsigned char>(number.front())) != 0 ||
                   std::isblank(static_cast<unsigned char>(number.back())) != 0)) {
    throw ArgumentError("the new number '" + number +
                        "' has blanks before or after it: write it without them, or add "
                        "--number-as-typed to keep them");
  }
  if (maxLength && *maxLength > 0 && rt::Len(number) > static_cast<std::size_t>(*maxLength)) {
    throw ArgumentError("--new '" + number + "' is longer than --max-length " +
                        std::to_string(*maxLength) + " characters");
  }
}

std::string DateLiteral(const std::string& text) {
  std::string date = text;
  if (date.size() == 12 && date.front() == '\'' && date.back() == '\'') {
    date = date.substr(1, 10);
  }
  unsigned y = 0, m = 0, d = 0;
  char end = 0;
  const bool shaped = date.size() == 10 && date[4] == '-' && date[7] == '-' &&
                      std::sscanf(date.c_str(), "%4u-%2u-%2u%c", &y, &m, &d, &end) == 3 &&
                      date.find_first_not_of("0123456789-") == std::string::npos;
  const std::chrono::year_month_day day{std::chrono::year(static_cast<int>(y)),
                                        std::chrono::month(m), std::chrono::day(d)};
  if (!shaped || !day.ok()) {
    throw ArgumentError("--date takes a calendar date as YYYY-MM-DD, not '" + text +
                        "' (for an SQL expression of your own use --date-sql)");
  }
  return "'" + date + "'";
}

}  // namespace oq::careful
