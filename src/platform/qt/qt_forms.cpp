#include "platform/qt/qt_forms.h"

#include <QCoreApplication>
#include <QThread>

#include "host/failure.h"
#include "host/forms.h"
#include "platform/qt/qt_form_view.h"
#include "platform/qt/qt_platform_port.h"

namespace oq::qt {

namespace {

// Qt's widgets live on one thread, the one that made the application: a window made on any other
// would be one Qt cannot draw or run, so a form is refused there and that thread's Mostrar fails.
void RequireApplicationThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) {
    throw Failure(err::kCannotCreateObject,
                  "ActiveX component can't create object: no Qt application runs for the copy "
                  "dialog");
  }
  if (QThread::currentThread() != application->thread()) {
    throw Failure(err::kCannotCreateObject,
                  "ActiveX component can't create object: the copy dialog can be shown only on "
                  "the thread that runs the Qt application (the first to show it), not on this "
                  "one");
  }
}

}  // namespace

void InstallQtMainForm(std::shared_ptr<PlatformPort> platform,
                       std::function<void(frmMAIN&)> prepare) {
  SetMainFormFactory([platform, prepare]() -> std::shared_ptr<ModalForm> {
    std::shared_ptr<PlatformPort> port = platform;
    if (!port) port = std::make_shared<QtPlatformPort>();
    auto form = std::make_shared<frmMAIN>(std::move(port), std::make_shared<QtFormView>());
    if (prepare) prepare(*form);
    RequireApplicationThread();
    return form;
  });
}

}  // namespace oq::qt
