#include "careful_host/qt/guarded_dialog.h"

#include <iostream>

#include "platform/qt/qt_forms.h"

namespace oq::careful {

void InstallGuardedQtForm(RunGuard& guard, std::shared_ptr<PlatformPort> platform) {
  guard.SetOnDiscarded([](const std::string& line, CopyContext* ctx) {
    std::cerr << "oquardelino dialog: " << line << "\n";
    if (ctx != nullptr) ctx->form.let_txtLOG(ctx->form.get_txtLOG() + "\r\n" + line + "\r\n");
  });
  qt::InstallQtMainForm(std::move(platform), [&guard](frmMAIN& form) {
    CopyRuns runs = guard.Wrap(CopyRuns::Engine());
    // An interrupted run closes the dialog: the program is asked to end.
    auto closingWhenInterrupted = [&form, &guard](std::function<void(CopyContext&)> run) {
      return [&form, &guard, run = std::move(run)](CopyContext& ctx) {
        run(ctx);
        if (guard.lastOutcome() && guard.lastOutcome()->signal != 0) form.Unload();
      };
    };
    form.SetCopyRuns({closingWhenInterrupted(std::move(runs.todos)),
                      closingWhenInterrupted(std::move(runs.conLAPI)),
                      closingWhenInterrupted(std::move(runs.sinLAPI))});
  });
}

}  // namespace oq::careful
