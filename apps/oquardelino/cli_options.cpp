#include "cli_options.h"

namespace oq::app {

void AddDatabaseOptions(CLI::App& command, std::string& internos, std::string& ncm,
                        std::string& source, const std::string& sourceUse) {
  command
      .add_option("--internos", internos,
                  "The database that holds the internos: sqlite:PATH or postgresql://...")
      ->required()
      ->type_name("URL");
  command
      .add_option("--ncm", ncm,
                  "The database with the tariff table ncm (default: the --internos database)")
      ->type_name("URL");
  command.add_option("--source", source, "The number of the interno to " + sourceUse)
      ->required()
      ->type_name("NUMBER");
}

void AddRunOptions(CLI::App& command, std::optional<std::string>& date,
                   std::optional<std::string>& dateSql, bool& keepPartial) {
  CLI::Option* dateOption =
      command
          .add_option("--date", date, "The date written into fecha and fechaalta (default: today)")
          ->type_name("YYYY-MM-DD");
  command
      .add_option("--date-sql", dateSql,
                  "An SQL value expression written unquoted into fecha and fechaalta instead of "
                  "--date, for hosts that need one")
      ->type_name("EXPR")
      ->excludes(dateOption);
  command.add_flag("--keep-partial", keepPartial,
                   "Send each copy's statements one by one with no transaction: what a step wrote "
                   "stays when a later one fails");
}

}  // namespace oq::app
