#include "engine/cover_sheet_copy.h"

#include "engine/copy_statements.h"
#include "engine/failure_text.h"
#include "engine/session_objects.h"
#include "host/basGLOBAL.h"

namespace oq {

std::string CoverSheetFailureText(const Failure& failure) {
  // The section names the step by an older name and, unlike the runs, spells it without accent.
  return SectionFailureText(failure, "Seccion oQUARDELINO.frmMAIN.AgregarInterno");
}

bool CopyInvoicesAndCoverSheet(CopyContext& ctx, HostConnection& connection,
                               const std::string& p_NRO, const std::string& p_NWNRO,
                               bool withIdentificadorExterno, bool (*created)(const Variant&)) {
  // The invoices go first and stay whatever the cover sheet then does.
  connection.put_sql(InvoiceCopyStatement(p_NRO, p_NWNRO));
  connection.ejecutar();

  connection.put_sql(CoverSheetCopyStatement(p_NRO, p_NWNRO, basGLOBAL::State().fechaActual,
                                             withIdentificadorExterno));
  if (!created(connection.ejecutar())) return false;
  // The setting comes before the result, so a store that cannot be written makes the step
  // report false although the cover sheet exists.
  ctx.platform.SaveSetting("TRELVO", "PROCESOS", p_NWNRO, "SI");
  return true;
}

bool AgregarCaratula(CopyContext& ctx, const std::string& p_NRO, const std::string& p_NWNRO) {
  try {
    return CopyInvoicesAndCoverSheet(ctx, *InternosConnection(), p_NRO, p_NWNRO, true,
                                     [](const Variant& written) { return written.toDouble() > 0; });
  } catch (const Failure& failure) {
    ctx.platform.MsgBox(CoverSheetFailureText(failure), vbCritical);
    return false;
  }
}

}  // namespace oq
