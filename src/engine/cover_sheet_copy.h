#pragma once

#include <string>

#include "engine/copy_context.h"
#include "host/failure.h"
#include "host/host_connection.h"
#include "host/variant.h"

namespace oq {

// AgregarCaratula: copies the invoices of interno `p_NRO` to `p_NWNRO`, then its cover sheet, with
// the session's date text in fecha and fechaalta, through the session's internos connection, one
// statement at a time and with no transaction. When the cover-sheet statement reports more than 0
// rows it writes the per-user setting TRELVO / PROCESOS / p_NWNRO = "SI" and returns true.
// Returns false when the count is 0 or less (no message), or after a failure, which it shows in a
// critical message box ("<n> - <description>", two line breaks, the section name). What was
// written before a failure stays.
bool AgregarCaratula(CopyContext& ctx, const std::string& p_NRO, const std::string& p_NWNRO);

// The message-box text of a failure caught by a cover-sheet copy step.
std::string CoverSheetFailureText(const Failure& failure);

// The part both cover-sheet steps share, through `connection`: copies the invoices (their count is
// not looked at), then the cover sheet (see CoverSheetCopyStatement for
// `withIdentificadorExterno`) with the session's date text; when `created` reads the cover
// sheet's row count as a success, writes TRELVO / PROCESOS / p_NWNRO = "SI" and returns true,
// else returns false. Failures propagate; what was written before one stays.
bool CopyInvoicesAndCoverSheet(CopyContext& ctx, HostConnection& connection,
                               const std::string& p_NRO, const std::string& p_NWNRO,
                               bool withIdentificadorExterno, bool (*created)(const Variant&));

}  // namespace oq
