#include "platform/qt/qt_platform_port.h"

#include <QApplication>

#include "host/class_identity.h"
#include "platform/regional_settings.h"

namespace oq::qt {

QtPlatformPort::QtPlatformPort(SettingsStore store) : store_(std::move(store)) {}

QMessageBox::Icon IconForStyle(int style) {
  switch (style & 0x70) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

Qt::CursorShape CursorForPointer(int pointer) {
  switch (pointer) {
    case 2:
      return Qt::CrossCursor;
    case 3:
      return Qt::IBeamCursor;
    case 5:
    case 15:
      return Qt::SizeAllCursor;
    case 6:
      return Qt::SizeBDiagCursor;
    case 7:
      return Qt::SizeVerCursor;
    case 8:
      return Qt::SizeFDiagCursor;
    case 9:
      return Qt::SizeHorCursor;
    case 10:
      return Qt::UpArrowCursor;
    case 11:
      return Qt::WaitCursor;
    case 12:
      return Qt::ForbiddenCursor;
    case 13:
      return Qt::BusyCursor;
    case 14:
      return Qt::WhatsThisCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void QtPlatformPort::MsgBox(const std::string& prompt, int style) {
  QString text = QString::fromStdString(prompt);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QString title =
      QString::fromUtf8(identity::kApplicationTitle.data(),
                        static_cast<qsizetype>(identity::kApplicationTitle.size()));
  // Over the window that is in front (the form), so that it is modal to it.
  QWidget* owner = QApplication::activeModalWidget();
  if (owner == nullptr) owner = QApplication::activeWindow();
  QMessageBox box(IconForStyle(style), title, text, QMessageBox::Ok, owner);
  box.setObjectName(QStringLiteral("MsgBox"));
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  box.activateWindow();
  box.exec();
  // The keys must go back to the form (F11 again, ESC) even where no window manager hands the
  // focus back.
  if (owner != nullptr) owner->activateWindow();
}

void QtPlatformPort::SetMousePointer(int pointer) {
  if (pointer == vbDefault) {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    return;
  }
  const QCursor cursor(CursorForPointer(pointer));
  if (QApplication::overrideCursor() != nullptr) {
    QApplication::changeOverrideCursor(cursor);
  } else {
    QApplication::setOverrideCursor(cursor);
  }
  // A run does not return to the event loop while it works: hand the new pointer to the screen
  // now, leaving the user's input queued.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtPlatformPort::SaveSetting(const std::string& appName, const std::string& section,
                                 const std::string& key, const std::string& value) {
  store_.Save(appName, section, key, value);
}

std::string QtPlatformPort::DecimalSeparator() const { return UserDecimalSeparator(); }

}  // namespace oq::qt
