#include "careful_host/qt/dialog_session.h"

#include <memory>

#include "careful_host/copy_session.h"
#include "careful_host/interrupts.h"
#include "careful_host/preflight.h"
#include "careful_host/preview.h"
#include "careful_host/qt/guarded_dialog.h"
#include "careful_host/qt/preview_window.h"
#include "dialog/frmMAIN.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/forms.h"
#include "platform/qt/qt_platform_port.h"
#include "platform/qt/screenshot.h"
#include "platform/regional_settings.h"

namespace oq::careful {

namespace {

// The read-only preview of what each licence-filtered copy keeps, before the copy dialog opens.
void ShowPreview(const SessionDatabases& databases, const DialogRequest& request) {
  CheckNcmTable(*databases.ncm, request.ncmUrl);
  const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
  PreviewWindow window(BuildPreview(*databases.internos, *databases.ncm,
                                    dynamic_cast<DataAccessManager&>(*dam), request.source,
                                    UserDecimalSeparator()));
  window.exec();
}

// Releases the session (which holds the connections and the form) while Qt is still up, and
// before the guard its connection runs through.
struct SessionRelease {
  ~SessionRelease() {
    SetMainFormFactory({});
    basGLOBAL::Reset();
  }
};

}  // namespace

int RunDialogSession(const DialogRequest& request,
                     const std::function<void(const std::string& line)>& say) {
  SessionDatabases databases = OpenChecked(request.internosUrl, request.ncmUrl,
                                           {request.source, false, request.dateSql, false}, say);
  if (request.keepPartial) SendTextsAsWritten(databases);
  // Interruptions wait only while a run writes: with a box on screen the transaction has ended
  // and the program may go at once.
  const std::unique_ptr<RunGuard> guard = MakeProgramRunGuard(
      databases.internos,
      request.keepPartial ? nullptr
                          : dynamic_cast<connectors::TransactionControl*>(databases.internos.get()),
      say, SpanWhileWriting(), request.source);
  const SessionRelease release;
  databases.ncm =
      databases.ncm == databases.internos ? guard->connection() : guard->Lookups(databases.ncm);
  databases.internos = guard->connection();
  cMAIN main;
  HandSessionToMain(main, databases, request);
  if (!request.screenshot.empty()) {
    frmMAIN form(std::make_shared<qt::QtPlatformPort>(), nullptr);
    form.Load();
    qt::SaveScreenshot(form, request.screenshot);
    return 0;
  }
  if (request.preview) ShowPreview(databases, request);
  InstallInterruptHandlers();
  InstallGuardedQtForm(*guard);
  main.Mostrar();
  const auto& outcome = guard->lastOutcome();
  return outcome && outcome->signal != 0 ? 128 + outcome->signal : 0;
}

}  // namespace oq::careful
