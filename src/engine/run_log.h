#pragma once

#include <string>

#include "engine/copy_context.h"
#include "host/failure.h"

namespace oq {

// Pieces every copy run shares.

// Line break of the log box.
inline constexpr const char* kLogLineBreak = "\r\n";

// Appends `text` to the text of txtLOG.
void AppendToLog(CopyForm& form, const std::string& text);

// Rewrites txtCopias with the decimal text (user's decimal separator, unrounded) of the leading
// number of its text, and returns that number.
double RewriteCopiesBox(CopyContext& ctx);

// The end of a run that was not stopped: appends "Proceso terminado...", shows "Fin del Proceso"
// (information) and sets the arrow pointer.
void FinishRun(CopyContext& ctx);

// The end of a run stopped by `failure`, as the full run shows it: a critical message box
// "<n> - <description>", two line breaks, "Sección cQUARDELINO.frmMAIN.lpCopiar"; then the arrow
// pointer.
void ShowFullRunFailure(CopyContext& ctx, const Failure& failure);

}  // namespace oq
