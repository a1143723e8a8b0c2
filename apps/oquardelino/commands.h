#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "careful_host/exit_status.h"

namespace oq::app {

// Exit statuses shared by every command.
using careful::kExitItemsLeftOut;
using careful::kExitOk;
using careful::kExitRunFailed;
using careful::kExitUsage;

// Each command registers itself as a subcommand of `app`; when it runs it stores its exit status
// in `exitStatus`.
void AddDemoCommand(CLI::App& app, int& exitStatus);
void AddCopyCommand(CLI::App& app, int& exitStatus);
void AddDialogCommand(CLI::App& app, int& exitStatus);
void AddSettingCommand(CLI::App& app, int& exitStatus);
void AddPreviewCommand(CLI::App& app, int& exitStatus);
void AddSplitCommand(CLI::App& app, int& exitStatus);
void AddHistoryCommand(CLI::App& app, int& exitStatus);
void AddUndoCommand(CLI::App& app, int& exitStatus);
// Hidden: `completion bash` prints the shell completion of every command registered on `app`.
void AddCompletionCommand(CLI::App& app, int& exitStatus);
// Hidden: `man-page` prints the COMMANDS section of the man page, in roff.
void AddManPageCommand(CLI::App& app, int& exitStatus);

}  // namespace oq::app
