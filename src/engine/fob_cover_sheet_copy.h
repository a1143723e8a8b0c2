#pragma once

#include <string>

#include "engine/copy_context.h"

namespace oq {

// The cover-sheet step of the filtered copies. Copies the invoices of `p_NRO` to `p_NWNRO`, then
// its cover sheet (all columns but identificador_externo, which the table fills; fecha and
// fechaalta get the session's date text), writes the per-user setting TRELVO/PROCESOS/<p_NWNRO> =
// "SI" when the cover sheet was created, and then sets fobdivisas of the new cover sheet to the
// sum of the FOB of the items stored under `p_NWNRO` at that moment, written with two decimals
// and a point. When no item is stored there, fobdivisas becomes 0 and an information box says so.
//
// Returns true when the cover sheet was created and the setting written, false otherwise; the FOB
// recalculation never changes the result. Any failure ends the step at once with a critical
// message box "<n> - <description>\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno"; what was
// written stays, and a cover sheet whose recalculation failed keeps the source's FOB. A sum that
// comes back Null (no item under the new number has a FOB) is such a failure: 94, "Invalid use
// of Null". Nothing throws.
bool AgregarCaratulaRecalculandoFOB(CopyContext& ctx, const std::string& p_NRO,
                                    const std::string& p_NWNRO);

}  // namespace oq
