#include "guarded_dialog.h"

#include <iostream>

#include "interrupts.h"
#include "platform/qt/qt_forms.h"

namespace oq::app {

void InstallGuardedQtForm(RunGuard& guard, std::shared_ptr<PlatformPort> platform) {
  guard.SetOnDiscarded([](const std::string& line, CopyContext* ctx) {
    std::cerr << "oquardelino dialog: " << line << "\n";
    if (ctx != nullptr) ctx->form.let_txtLOG(ctx->form.get_txtLOG() + "\r\n" + line + "\r\n");
  });
  qt::InstallQtMainForm(std::move(platform), [&guard](frmMAIN& form) {
    CopyRuns runs = guard.Wrap(CopyRuns::Engine());
    auto inSpan = [&form, &guard](std::function<void(CopyContext&)> run) {
      return [&form, &guard, run = std::move(run)](CopyContext& ctx) {
        {
          RunSpan span;
          run(ctx);
        }
        if (guard.lastOutcome() && guard.lastOutcome()->signal != 0) form.Unload();
      };
    };
    form.SetCopyRuns({inSpan(std::move(runs.todos)), inSpan(std::move(runs.conLAPI)),
                      inSpan(std::move(runs.sinLAPI))});
  });
}

}  // namespace oq::app
