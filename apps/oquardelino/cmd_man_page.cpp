// oquardelino man-page (hidden): the COMMANDS section of the man page in roff, written from the
// commands' own definitions (description, arguments, options and their texts, examples), so that
// the page cannot drift from what the program accepts. man_page.cmake puts it into the page.
#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "commands.h"

namespace oq::app {

namespace {

// Text for roff: a backslash is written \e, a hyphen \- (so that options can be copied from the
// page), and a line may not start with a dot or a quote.
std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
    lineStart = c == '\n';
  }
  return out;
}

// "--option VALUE" as the synopsis and the option's own entry show it: VALUE is the type's name,
// or the choices that a set check names ("TEXT:{a,b}" shows as a|b).
std::string Usage(const CLI::Option& option) {
  std::string value = option.get_type_name();
  if (const auto choices = value.find(":{"); choices != std::string::npos) {
    value = value.substr(choices + 2, value.size() - choices - 3);
    std::replace(value.begin(), value.end(), ',', '|');
  }
  if (option.get_expected_max() == 0) value.clear();
  const std::string name = option.nonpositional() ? option.get_name(false, true) : "";
  if (name.empty()) return "\\fI" + Roff(option.get_name()) + "\\fR";
  return "\\fB" + Roff(name) + "\\fR" + (value.empty() ? "" : " \\fI" + Roff(value) + "\\fR");
}

void WriteCommand(std::ostream& out, const CLI::App& command) {
  out << ".SS " << command.get_name() << "\n.B oquardelino " << command.get_name() << "\n";
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_lnames() == std::vector<std::string>{"help"}) continue;
    const bool required = option->get_required();
    out << (required ? "" : "[") << Usage(*option) << (required ? "" : "]") << "\n";
  }
  out << ".PP\n" << Roff(command.get_description()) << "\n";
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_lnames() == std::vector<std::string>{"help"}) continue;
    std::string text = option->get_description();
    if (!option->get_default_str().empty()) text += " (default: " + option->get_default_str() + ")";
    out << ".TP\n" << Usage(*option) << "\n" << Roff(text) << "\n";
  }
  // The footer: indented lines (examples) as they are, the others filled, a blank line between
  // paragraphs.
  std::istringstream footer(command.get_footer());
  bool verbatim = false;
  out << ".PP\n";
  for (std::string line; std::getline(footer, line);) {
    const bool indented = line.starts_with("  ");
    if (indented != verbatim) out << (indented ? ".nf\n" : ".fi\n");
    verbatim = indented;
    out << (line.empty() ? ".PP" : Roff(line)) << '\n';
  }
  if (verbatim) out << ".fi\n";
}

}  // namespace

void AddManPageCommand(CLI::App& app, int& exitStatus) {
  // Hidden, as `completion`: the build's tool, not a user's command.
  CLI::App* command = app.add_subcommand("man-page", "Print the COMMANDS section of the man page");
  command->group("");
  command->callback([&app, &exitStatus] {
    for (const CLI::App* sub :
         app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); })) {
      WriteCommand(std::cout, *sub);
    }
    exitStatus = kExitOk;
  });
}

}  // namespace oq::app
