#include "engine/run_log.h"

#include "engine/conversions.h"
#include "engine/failure_text.h"

namespace oq {

void AppendToLog(CopyForm& form, const std::string& text) {
  form.let_txtLOG(form.get_txtLOG() + text);
}

double RewriteCopiesBox(CopyContext& ctx) {
  const double copies = rt::Val(ctx.form.get_txtCopias());
  ctx.form.let_txtCopias(rt::NumberToText(copies, ctx.platform.DecimalSeparator()));
  return copies;
}

void FinishRun(CopyContext& ctx) {
  AppendToLog(ctx.form, "Proceso terminado...");
  ctx.platform.MsgBox("Fin del Proceso", vbInformation);
  ctx.platform.SetMousePointer(vbArrow);
}

void ShowFullRunFailure(CopyContext& ctx, const Failure& failure) {
  ctx.platform.MsgBox(SectionFailureText(failure, "Sección cQUARDELINO.frmMAIN.lpCopiar"),
                      vbCritical);
  ctx.platform.SetMousePointer(vbArrow);
}

}  // namespace oq
