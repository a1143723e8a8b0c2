#include "parse_errors.h"

#include <algorithm>
#include <vector>

namespace oq::app {

namespace {

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

const CLI::App& SelectedCommand(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  return chosen.empty() ? app : *chosen.front();
}

// The word of `known` closest to `typed` (by edit distance), or "" when none is close.
std::string Closest(const std::string& typed, const std::vector<std::string>& known) {
  std::string best;
  std::size_t bestDistance = 4;  // more edits than that is another word, not a typo
  for (const std::string& word : known) {
    const std::size_t distance = EditDistance(typed, word);
    if (distance < bestDistance && distance < std::max<std::size_t>(word.size(), 2)) {
      bestDistance = distance;
      best = word;
    }
  }
  return best;
}

}  // namespace

std::string ClosestOption(const CLI::App& command, const std::string& typed) {
  std::vector<std::string> known;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) known.push_back("--" + name);
  }
  return Closest(typed.substr(0, typed.find('=')), known);
}

std::string ClosestCommand(const CLI::App& app, const std::string& typed) {
  std::vector<std::string> known;
  for (const CLI::App* sub :
       app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); })) {
    known.push_back(sub->get_name());
  }
  return Closest(typed, known);
}

std::string ExplainParseError(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App& command = SelectedCommand(app);
  std::string unknown;
  for (const std::string& arg : command.remaining()) {
    if (!arg.starts_with("-")) continue;
    const std::string closest = ClosestOption(command, arg);
    unknown += (unknown.empty() ? "unknown option " : "; unknown option ") + arg +
               (closest.empty() ? "" : " (did you mean " + closest + "?)");
  }
  if (!unknown.empty()) return unknown;
  if (&command == &app) {
    for (const std::string& arg : app.remaining()) {
      if (arg.starts_with("-")) continue;
      const std::string closest = ClosestCommand(app, arg);
      return "unknown command " + arg + (closest.empty() ? "" : " (did you mean " + closest + "?)");
    }
  }
  if (error.get_name() == "RequiredError" && &command != &app) {
    std::string missing;
    for (const CLI::Option* option : command.get_options()) {
      if (option->get_required() && option->count() == 0) {
        missing += (missing.empty() ? "" : ", ") + option->get_name(false, true);
      }
    }
    if (!missing.empty()) return "missing " + missing;
  }
  return error.what();
}

}  // namespace oq::app
