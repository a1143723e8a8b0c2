// The Qt platform: message boxes by style, the application-wide pointer and the settings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt/qt_platform_port.h"

namespace oq::qt {
namespace {

// Shows a box through the port; the test reads it from the screen and acknowledges it with Return,
// as a user would. Gives "icon|title|text|buttons|modal", or "" when no box was shown.
QString ShowAndAcknowledge(QtPlatformPort& port, const std::string& prompt, int style) {
  QString seen;
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = QString("%1|%2|%3|%4|%5")
               .arg(box->icon())
               .arg(box->windowTitle(), box->text())
               .arg(box->standardButtons().toInt())
               .arg(box->isModal());
    QTest::keyClick(box, Qt::Key_Return);
  });
  port.MsgBox(prompt, style);
  return seen;
}

class QtPlatformPortTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
  QTemporaryDir folder_;
  QtPlatformPort port_{SettingsStore((folder_.path() + "/settings.db").toStdString())};
};

TEST_F(QtPlatformPortTest, MessageBoxesShowTheIconOfTheirStyleUnderTheComponentsTitle) {
  const std::vector<std::pair<int, QMessageBox::Icon>> styles = {
      {vbOKOnly, QMessageBox::NoIcon},
      {vbCritical, QMessageBox::Critical},
      {vbExclamation, QMessageBox::Warning},
      {vbInformation, QMessageBox::Information}};
  for (const auto& [style, icon] : styles) {
    SCOPED_TRACE(style);
    EXPECT_EQ(ShowAndAcknowledge(port_, "13 - Type mismatch\r\n\r\nSección cQUARDELINO", style),
              QString::fromUtf8("%1|oQUARDELINO|13 - Type mismatch\n\nSección cQUARDELINO|%2|1")
                  .arg(icon)
                  .arg(int(QMessageBox::Ok)));
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtPlatformPortTest, ThePointerStaysInForceUntilSetAgain) {
  const auto shape = [] {
    return QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1;
  };
  for (const auto& [pointer, expected] : {std::pair{vbHourglass, int(Qt::WaitCursor)},
                                          {vbArrow, int(Qt::ArrowCursor)},
                                          {vbHourglass, int(Qt::WaitCursor)},
                                          {vbDefault, -1}}) {
    port_.SetMousePointer(pointer);
    EXPECT_EQ(shape(), expected) << pointer;
  }
}

TEST_F(QtPlatformPortTest, SettingsGoToTheStoreItWasGiven) {
  port_.SaveSetting("TRELVO", "PROCESOS", "4711 = B", "SI");
  const SettingsStore store((folder_.path() + "/settings.db").toStdString());
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711 = B"), "SI");
}

}  // namespace
}  // namespace oq::qt
