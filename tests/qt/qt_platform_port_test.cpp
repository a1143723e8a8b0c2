// The Qt platform: message boxes by style, the application-wide pointer, the settings it writes,
// and the fonts the window draws with.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialog/frmMAIN_layout.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_platform_port.h"

namespace oq::qt {
namespace {

struct SeenBox {
  bool shown = false;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  bool modal = false;
};

// Shows a box through the port; the test reads it from the screen and acknowledges it with Return,
// as a user would.
SeenBox ShowAndAcknowledge(QtPlatformPort& port, const std::string& prompt, int style) {
  SeenBox seen;
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {true,          box->icon(), box->windowTitle(), box->text(), box->standardButtons(),
            box->isModal()};
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
  QtPlatformPort port_{SettingsStore((folder_.path() + "/settings.json").toStdString())};
};

TEST_F(QtPlatformPortTest, MessageBoxesShowTheIconOfTheirStyleUnderTheComponentsTitle) {
  const std::vector<std::pair<int, QMessageBox::Icon>> styles = {
      {vbOKOnly, QMessageBox::NoIcon},
      {vbCritical, QMessageBox::Critical},
      {vbExclamation, QMessageBox::Warning},
      {vbInformation, QMessageBox::Information}};
  for (const auto& [style, icon] : styles) {
    SCOPED_TRACE(style);
    const SeenBox seen =
        ShowAndAcknowledge(port_, "13 - Type mismatch\r\n\r\nSección cQUARDELINO", style);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.icon, icon);
    EXPECT_EQ(seen.title, "oQUARDELINO");
    EXPECT_EQ(seen.text, QString::fromUtf8("13 - Type mismatch\n\nSección cQUARDELINO"));
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    EXPECT_TRUE(seen.modal);
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtPlatformPortTest, ThePointerStaysInForceUntilSetAgain) {
  port_.SetMousePointer(vbHourglass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  port_.SetMousePointer(vbArrow);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
  port_.SetMousePointer(vbHourglass);
  port_.SetMousePointer(vbDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtPlatformPortTest, SettingsGoToTheStoreItWasGiven) {
  port_.SaveSetting("TRELVO", "PROCESOS", "4711 = B", "SI");
  const SettingsStore store((folder_.path() + "/settings.json").toStdString());
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711 = B"), "SI");
}

TEST(QtFontsTest, EveryCaptionOfTheFormCanBeDrawnWithItsFont) {
  for (const ControlLayout& control : layout::frmMAINControls()) {
    SCOPED_TRACE(control.name);
    const QFont font = FontFor(control.font);
    const QFontMetrics metrics(font);
    const QString text = QString::fromStdString(control.text) + "0123456789 v.";
    for (QChar c : text) EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
    EXPECT_EQ(font.pixelSize(), 11);
  }
}

TEST(QtFontsTest, TahomaAndCourierNewResolveToTheirMetricCompatibleFonts) {
  if (!QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) GTEST_SKIP() << "fonts-wine missing";
  EXPECT_EQ(ResolvedFamily("Tahoma"), "Tahoma");
  EXPECT_EQ(QFontInfo(FontFor(FontSpec{"Tahoma", 8.25, false, 0})).family(), "Tahoma");
  EXPECT_TRUE(QFontInfo(FontFor(FontSpec{"Tahoma", 8.25, true, 0})).bold());
  const QString courier = ResolvedFamily("Courier New");
  EXPECT_TRUE(courier == "Courier New" || courier == "Liberation Mono") << courier.toStdString();
  EXPECT_TRUE(QFontInfo(FontFor(FontSpec{"Courier New", 8.25, false, 0})).fixedPitch());
}

}  // namespace
}  // namespace oq::qt
