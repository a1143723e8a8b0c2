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

}  // namespace

std::string ClosestOption(const CLI::App& command, const std::string& typed) {
  const std::string name = typed.substr(0, typed.find('='));
  std::string best;
  std::size_t bestDistance = 4;  // more edits than that is another word, not a typo
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& known : option->get_lnames()) {
      const std::size_t distance = EditDistance(name, "--" + known);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = "--" + known;
      }
    }
  }
  return best;
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
