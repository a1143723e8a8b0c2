#include "engine/cover_sheet_copy.h"

#include "engine/copy_statements.h"
#include "engine/failure_text.h"
#include "engine/session_objects.h"
#include "host/basGLOBAL.h"

namespace oq {

std::string CoverSheetFailureText(const Failure& failure) {
  // The section names the step by an older name and, unlike the runs, spells it without accent.
  return NumberDashDescription(failure) + kTwoLineBreaks +
         "Seccion oQUARDELINO.frmMAIN.AgregarInterno";
}

bool AgregarCaratula(CopyContext& ctx, const std::string& p_NRO, const std::string& p_NWNRO) {
  bool result = false;
  try {
    const std::shared_ptr<HostConnection> connection = InternosConnection();

    // The invoices go first and stay whatever the cover sheet then does; their count is not
    // looked at.
    connection->put_sql(InvoiceCopyStatement(p_NRO, p_NWNRO));
    connection->ejecutar();

    connection->put_sql(
        CoverSheetCopyStatement(p_NRO, p_NWNRO, basGLOBAL::State().fechaActual, true));
    const Variant written = connection->ejecutar();
    if (written.toDouble() > 0) {
      // The setting comes before the result, so a store that cannot be written makes the step
      // report false although the cover sheet exists.
      ctx.platform.SaveSetting("TRELVO", "PROCESOS", p_NWNRO, "SI");
      result = true;
    }
  } catch (const Failure& failure) {
    ctx.platform.MsgBox(CoverSheetFailureText(failure), vbCritical);
    result = false;
  }
  return result;
}

}  // namespace oq
