#include "engine/filtered_copy_runs.h"

#include <string>

#include "engine/failure_text.h"
#include "engine/filtered_item_copy.h"
#include "engine/fob_cover_sheet_copy.h"
#include "engine/platform_port.h"
#include "engine/run_log.h"
#include "engine/verificar_interno.h"
#include "host/basGLOBAL.h"
#include "host/failure.h"

namespace oq {

namespace {

using ItemCopy = bool (*)(CopyContext&, const std::string&, const std::string&);

// The shared body of the twins: they differ in the item copy and in how a failure is shown.
void RunFilteredCopy(CopyContext& ctx, ItemCopy itemCopy) {
  const std::string copyName = ctx.form.get_Text1();
  RewriteCopiesBox(ctx);
  ctx.form.let_txtLOG("");

  if (VerificarInterno(ctx, copyName)) {
    const std::string source = basGLOBAL::State().numeroInterno;
    // Items first: the cover sheet's FOB total is summed from the items under the new number.
    if (!itemCopy(ctx, source, copyName)) {
      AppendToLog(ctx.form, "Error en agregar los Subitem's " + copyName + kLogLineBreak);
    }
    if (!AgregarCaratulaRecalculandoFOB(ctx, source, copyName)) {
      AppendToLog(ctx.form, "Error en agregar la Caratula " + copyName + kLogLineBreak);
    }
  } else {
    AppendToLog(ctx.form, "El interno " + copyName + " ya existe .-" + kLogLineBreak);
  }
  FinishRun(ctx);
}

}  // namespace

void lpCopiar_ConLAPI(CopyContext& ctx) {
  try {
    RunFilteredCopy(ctx, &AgregarSubitems_ConLAPI);
  } catch (const Failure& failure) {
    // The line number the message shows is never set by this run, so it always reads 0.
    ctx.platform.MsgBox(failure.description() + kTwoLineBreaks + std::to_string(failure.number()) +
                            " - seccion[oQUARDELINO.frmMAIN.lpCopiar_ConLAPI Linea " +
                            std::to_string(0) + " ]::" + failure.source(),
                        vbOKOnly);
    ctx.platform.SetMousePointer(vbArrow);
  }
}

void lpCopiar_sinLAPI(CopyContext& ctx) {
  try {
    RunFilteredCopy(ctx, &AgregarSubitems_sinLAPI);
  } catch (const Failure& failure) {
    // This run reports under the full run's section name, as it always has.
    ShowFullRunFailure(ctx, failure);
  }
}

}  // namespace oq
