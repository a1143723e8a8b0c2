#include "engine/full_copy_run.h"

#include <cstdint>
#include <string>

#include "engine/conversions.h"
#include "engine/cover_sheet_copy.h"
#include "engine/item_copy.h"
#include "engine/run_log.h"
#include "engine/verificar_interno.h"
#include "host/basGLOBAL.h"
#include "host/failure.h"

namespace oq {

namespace {

void SeveralCopies(CopyContext& ctx, const std::string& number, std::int16_t count) {
  const std::string source = basGLOBAL::State().numeroInterno;
  ctx.platform.SetMousePointer(vbHourglass);
  for (std::int16_t index = 1; index <= count;) {
    const std::string name = number + "_" + std::to_string(index);
    // Each copy starts the log anew, so only the last copy's lines stay on view.
    ctx.form.let_txtLOG("Procesando...");
    if (VerificarInterno(ctx, name)) {
      if (!AgregarCaratula(ctx, source, name)) {
        AppendToLog(ctx.form, "Error en agregar la Caratula & " + name + kLogLineBreak);
      }
      if (!AgregarSubitems(ctx, source, name)) {
        AppendToLog(ctx.form, "Error en agregar el Subitem's & " + name + kLogLineBreak);
      }
    } else {
      AppendToLog(ctx.form, "El interno " + name + " ya Existe! .-" + kLogLineBreak);
    }
    // The copy index is a 16-bit integer: stepping past its largest value overflows, as the
    // counter of a loop up to 32767 does.
    if (index == INT16_MAX) throw err::runtime(err::kOverflow);
    ++index;
  }
}

void OneCopy(CopyContext& ctx, const std::string& name) {
  const std::string source = basGLOBAL::State().numeroInterno;
  if (VerificarInterno(ctx, name)) {
    if (!AgregarCaratula(ctx, source, name)) {
      AppendToLog(ctx.form, "Error en agregar la Caratula " + name + kLogLineBreak);
    }
    if (!AgregarSubitems(ctx, source, name)) {
      AppendToLog(ctx.form, "Error en agregar los Subitem's " + name + kLogLineBreak);
    }
  } else {
    AppendToLog(ctx.form, "El interno " + name + " ya existe .-" + kLogLineBreak);
  }
}

}  // namespace

void lpCopiar(CopyContext& ctx) {
  try {
    const std::int16_t count = rt::CInt(rt::Val(ctx.form.get_txtCopias()));
    const std::string number = ctx.form.get_Text1();
    RewriteCopiesBox(ctx);
    ctx.form.let_txtLOG("");

    if (count > 1) {
      if (rt::Len(number) > kMaxLengthSeveralCopies) {
        ctx.platform.MsgBox(
            "Para crear Automáticamente varias copias, el nombre del interno debe tener como "
            "maximo 38 Caracteres, por favor quite un caracter.",
            vbExclamation);
        return;
      }
      SeveralCopies(ctx, number, count);
    } else {
      if (rt::Len(number) > kMaxLengthOneCopy) {
        ctx.platform.MsgBox(
            "El nombre del interno debe tener como máximo 40 Caracteres, por favor quite un "
            "caracter.",
            vbExclamation);
        return;
      }
      OneCopy(ctx, number);
    }
    FinishRun(ctx);
  } catch (const Failure& failure) {
    ShowFullRunFailure(ctx, failure);
  }
}

}  // namespace oq
