#include "server/server_init.h"

#include <QApplication>
#include <cstdlib>

#include "host/failure.h"
#include "platform/qt/qt_forms.h"

namespace oq::server {

namespace {

bool DisplayAvailable() {
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// A host that loads the component may have no Qt application of its own, and the dialog needs one
// on the thread that shows it. Qt aborts the whole process when it finds no display, so that case
// becomes a failure of Mostrar the host can report instead.
void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (!DisplayAvailable()) {
    throw Failure(err::kCannotCreateObject,
                  "ActiveX component can't create object: no display is available for the copy "
                  "dialog (set DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM)");
  }
  static int argc = 1;
  static char name[] = "oQUARDELINO";
  static char* argv[] = {name, nullptr};
  // Lives as long as the process: the library is never unloaded once its objects ran.
  static QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("oQUARDELINO"));
}

}  // namespace

void InitializeThread() {
  thread_local bool installed = false;
  if (installed) return;
  // The Qt application is made when the first form is created, at the first Mostrar, so a host
  // that only copies through the member calls never needs a display.
  qt::InstallQtMainForm(nullptr, [](frmMAIN&) { EnsureApplication(); });
  installed = true;
}

}  // namespace oq::server
