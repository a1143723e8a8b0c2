#include "careful_host/qt/guarded_dialog.h"

#include <iostream>

#include "careful_host/qt/run_pump.h"
#include "platform/qt/qt_forms.h"

namespace oq::careful {

void InstallGuardedQtForm(RunGuard& guard, std::shared_ptr<PlatformPort> platform) {
  guard.SetOnDiscarded([](const std::string& line, CopyContext* ctx) {
    std::cerr << "oquardelino dialog: " << line << "\n";
    // The form speaks Spanish; the reason, in the program's words, is on standard error.
    if (ctx != nullptr) {
      ctx->form.let_txtLOG(ctx->form.get_txtLOG() +
                           "\r\nNo se grabó nada: la copia no terminó bien y la base quedó "
                           "como estaba antes.\r\n");
    }
  });
  qt::InstallQtMainForm(std::move(platform), [&guard](frmMAIN& form) {
    auto pump = std::make_shared<RunPump>([&form] { form.Unload(); });
    guard.SetObserver(
        [pump](const std::string& sql, const Variant& result) { pump->Statement(sql, result); });
    CopyRuns runs = guard.Wrap(CopyRuns::Engine());
    // The window stays alive during the run; an interrupted run closes the dialog: the program is
    // asked to end.
    auto alive = [&form, &guard, pump](std::function<void(CopyContext&)> run) {
      return [&form, &guard, pump, run = std::move(run)](CopyContext& ctx) {
        pump->Begin();
        try {
          run(ctx);
        } catch (...) {
          pump->End();
          throw;
        }
        pump->End();
        if (guard.lastOutcome() && guard.lastOutcome()->signal != 0) form.Unload();
      };
    };
    form.SetCopyRuns({alive(std::move(runs.todos)), alive(std::move(runs.conLAPI)),
                      alive(std::move(runs.sinLAPI))});
  });
}

}  // namespace oq::careful
