#include "platform/qt/screenshot.h"

#include <QApplication>
#include <QPixmap>

#include "host/failure.h"
#include "platform/qt/form_window.h"

namespace oq::qt {

QImage GrabClientArea(frmMAIN& form) {
  FormWindow window(form);
  window.show();
  window.activateWindow();
  window.FocusActiveControl();
  // Let the window lay itself out and paint once, as it does on a screen.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  QImage image = window.client()->grab().toImage();
  window.hide();
  return image;
}

void SaveScreenshot(frmMAIN& form, const std::string& pngPath) {
  const QImage image = GrabClientArea(form);
  if (!image.save(QString::fromStdString(pngPath), "PNG")) {
    throw Failure(75, "Path/File access error (" + pngPath + ": cannot write the picture)");
  }
}

}  // namespace oq::qt
