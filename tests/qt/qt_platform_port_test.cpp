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

class QtPlatformPortTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
  QTemporaryDir folder_;
  QtPlatformPort port_{SettingsStore((folder_.path() + "/settings.db").toStdString())};
};

// Each box is read from the screen and acknowledged with Return, as a user would.
TEST_F(QtPlatformPortTest, MessageBoxesShowTheIconOfTheirStyleUnderTheComponentsTitle) {
  const std::pair<int, QMessageBox::Icon> styles[] = {{vbOKOnly, QMessageBox::NoIcon},
                                                      {vbCritical, QMessageBox::Critical},
                                                      {vbExclamation, QMessageBox::Warning},
                                                      {vbInformation, QMessageBox::Information}};
  for (const auto& [style, icon] : styles) {
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
    port_.MsgBox("13 - Type mismatch\r\n\r\nSección cQUARDELINO", style);
    EXPECT_EQ(seen,
              QString::fromUtf8("%1|oQUARDELINO|13 - Type mismatch\n\nSección cQUARDELINO|%2|1")
                  .arg(icon)
                  .arg(int(QMessageBox::Ok)));
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtPlatformPortTest, ThePointerStaysInForceUntilSetAgainAndSettingsGoToTheStore) {
  for (const auto& [pointer, expected] : {std::pair{vbHourglass, int(Qt::WaitCursor)},
                                          {vbArrow, int(Qt::ArrowCursor)},
                                          {vbHourglass, int(Qt::WaitCursor)},
                                          {vbDefault, -1}}) {
    port_.SetMousePointer(pointer);
    const QCursor* cursor = QApplication::overrideCursor();
    EXPECT_EQ(cursor ? int(cursor->shape()) : -1, expected) << pointer;
  }
  port_.SaveSetting("TRELVO", "PROCESOS", "4711 = B", "SI");
  EXPECT_EQ(SettingsStore((folder_.path() + "/settings.db").toStdString())
                .Get("TRELVO", "PROCESOS", "4711 = B"),
            "SI");
}

}  // namespace
}  // namespace oq::qt
