#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace oq::app {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunFailed = 1;     // the command ran but its work did not succeed
inline constexpr int kExitUsage = 2;         // bad arguments, or a database that cannot be opened
inline constexpr int kExitItemsLeftOut = 3;  // split: both copies made, some items in neither

// Each command registers itself as a subcommand of `app`; when it runs it stores its exit status
// in `exitStatus`.
void AddDemoCommand(CLI::App& app, int& exitStatus);
void AddCopyCommand(CLI::App& app, int& exitStatus);
void AddDialogCommand(CLI::App& app, int& exitStatus);
void AddSettingCommand(CLI::App& app, int& exitStatus);
void AddPreviewCommand(CLI::App& app, int& exitStatus);
void AddSplitCommand(CLI::App& app, int& exitStatus);
// Hidden: `completion bash` prints the shell completion of every command registered on `app`.
void AddCompletionCommand(CLI::App& app, int& exitStatus);

// Prints the one JSON object of `copy --json` for a command line that was refused (exit 2).
void PrintCopyJsonError(const std::string& message);

}  // namespace oq::app
