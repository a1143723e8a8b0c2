#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

namespace oq::app {

// --internos (required), --ncm and --source (required, described as "The number of the interno
// to " + `sourceUse`): the databases and the source interno of copy, preview and split.
void AddDatabaseOptions(CLI::App& command, std::string& internos, std::string& ncm,
                        std::string& source, const std::string& sourceUse);

// The options both copying commands share: --date and --date-sql (one or the other), and
// --keep-partial.
void AddRunOptions(CLI::App& command, std::optional<std::string>& date,
                   std::optional<std::string>& dateSql, bool& keepPartial);

}  // namespace oq::app
