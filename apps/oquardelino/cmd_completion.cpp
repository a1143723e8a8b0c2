#include "cmd_completion.h"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"

namespace oq::app {

namespace {

// Subcommands a user may type: a hidden one (no group) such as `completion` itself is left out.
std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

std::string Join(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

// The values an option offers when a set check names them: its type reads "TEXT:{a,b,c}".
std::vector<std::string> Choices(const CLI::Option& option) {
  const std::string type = option.get_type_name();
  const auto open = type.find('{');
  const auto close = type.rfind('}');
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos || close < open) return choices;
  std::istringstream list(type.substr(open + 1, close - open - 1));
  for (std::string choice; std::getline(list, choice, ',');) choices.push_back(choice);
  return choices;
}

// The case branch of one command: what it offers after it, and what follows each of its options
// that takes a value (its choices, a URL's scheme and the files after sqlite:, or the shell's
// default completion of paths).
void WriteCommand(std::ostream& out, const std::string& program, const std::string& pattern,
                  const CLI::App& command) {
  std::vector<std::string> words;
  std::ostringstream valueCases;
  for (const CLI::Option* option : command.get_options()) {
    if (!option->nonpositional()) continue;
    std::vector<std::string> names;
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    words.insert(words.end(), names.begin(), names.end());
    if (option->get_expected_max() == 0) continue;  // a flag
    std::string alternatives;
    for (const std::string& name : names) alternatives += (alternatives.empty() ? "" : "|") + name;
    const std::vector<std::string> choices = Choices(*option);
    valueCases << "        " << alternatives << ")\n          ";
    if (option->get_type_name() == "URL") {
      valueCases << "_" << program << "_url; return ;;\n";
    } else if (choices.empty()) {
      valueCases << "compopt -o default; COMPREPLY=(); return ;;\n";
    } else {
      valueCases << "COMPREPLY=($(compgen -W '" << Join(choices) << "' -- \"$cur\")); return ;;\n";
    }
  }
  for (const CLI::App* sub : VisibleSubcommands(command)) words.push_back(sub->get_name());
  out << "    " << pattern << ")\n";
  if (!valueCases.str().empty()) {
    out << "      case $prev in\n" << valueCases.str() << "      esac\n";
  }
  out << "      words='" << Join(words) << "' ;;\n";
}

}  // namespace

std::string BashCompletion(const CLI::App& app, const std::string& program) {
  std::vector<std::string> names;
  for (const CLI::App* sub : VisibleSubcommands(app)) names.push_back(sub->get_name());
  std::string alternatives;
  for (const std::string& name : names) alternatives += (alternatives.empty() ? "" : "|") + name;

  std::ostringstream out;
  // The words are split here, on blanks only, so that a URL's ':' does not end a word; what bash
  // replaces is only the part after the last ':' (COMP_WORDBREAKS), so the replies are cut to it.
  out << "# bash completion for " << program << ", written by '" << program
      << " completion bash'.\n"
      << "_" << program << "_url() {\n"
      << "  local f\n"
      << "  case $cur in\n"
      << "    sqlite:*)\n"
      << "      while IFS= read -r f; do\n"
      << "        [[ -d $f ]] && f+=/\n"
      << "        COMPREPLY+=(\"sqlite:$f\")\n"
      << "      done < <(compgen -f -- \"${cur#sqlite:}\") ;;\n"
      << "    postgresql:*) ;;\n"
      << "    *) COMPREPLY=($(compgen -W 'sqlite: postgresql://' -- \"$cur\")) ;;\n"
      << "  esac\n"
      << "  compopt -o nospace 2>/dev/null || true\n"
      << "}\n"
      << "_" << program << "() {\n"
      << "  local line=${COMP_LINE:0:COMP_POINT} cur prev command= words i\n"
      << "  local -a typed\n"
      << "  read -ra typed <<<\"$line\"\n"
      << "  [[ -z $line || $line == *[[:space:]] ]] && typed+=(\"\")\n"
      << "  cur=${typed[-1]} prev=${typed[-2]}\n"
      << "  COMPREPLY=()\n"
      << "  for ((i = 1; i < ${#typed[@]} - 1; i++)); do\n"
      << "    case ${typed[i]} in\n"
      << "      " << alternatives << ") command=${typed[i]}; break ;;\n"
      << "    esac\n"
      << "  done\n"
      << "  case $command in\n";
  WriteCommand(out, program, "''", app);
  for (const CLI::App* sub : VisibleSubcommands(app)) {
    WriteCommand(out, program, sub->get_name(), *sub);
  }
  out << "  esac\n"
      << "  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
      << "}\n"
      << "_" << program << "_words() {\n"
      << "  local line=${COMP_LINE:0:COMP_POINT} cur i\n"
      << "  cur=${line##*[[:space:]]}\n"
      << "  _" << program << "\n"
      << "  if [[ $cur == *:* && $COMP_WORDBREAKS == *:* ]]; then\n"
      << "    local colon=${cur%\"${cur##*:}\"}\n"
      << "    for i in \"${!COMPREPLY[@]}\"; do COMPREPLY[i]=${COMPREPLY[i]#\"$colon\"}; done\n"
      << "  fi\n"
      << "}\n"
      << "complete -F _" << program << "_words " << program << "\n";
  return out.str();
}

void AddCompletionCommand(CLI::App& app, int& exitStatus) {
  // Hidden: a packager's tool, not a user's command. It walks the parent App when it runs, so
  // every command registered before or after it is in the script.
  CLI::App* command = app.add_subcommand("completion", "Print a shell completion script");
  command->group("");
  auto shell = std::make_shared<std::string>();
  command->add_option("SHELL", *shell, "The shell")->required()->check(CLI::IsMember({"bash"}));
  command->callback([&app, &exitStatus, shell] {
    std::cout << BashCompletion(app, "oquardelino");
    exitStatus = kExitOk;
  });
}

}  // namespace oq::app
