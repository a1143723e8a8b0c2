// The window as drawn from the layout: size, frame, the layout's colours where it puts them, and
// bold captions.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "dialog/frmMAIN_layout.h"
#include "host/basGLOBAL.h"
#include "platform/qt/control_widgets.h"
#include "platform/qt/form_window.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/screenshot.h"
#include "support/recording_platform.h"

namespace oq::qt {
namespace {

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    basGLOBAL::State().numeroInterno = "4711";
    form_.Load();
  }
  void TearDown() override { basGLOBAL::Reset(); }

  // The rectangle of a control in client pixels.
  QRect RectOf(const char* name) {
    const ControlLayout& l = form_.FindControl(name)->layout();
    return QRect(Pixels(l.left), Pixels(l.top), Pixels(l.width), Pixels(l.height));
  }
  static int Count(const QImage& image, const QRect& area, const std::function<bool(QColor)>& is) {
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      for (int x = inside.left(); x <= inside.right(); ++x) count += is(image.pixelColor(x, y));
    }
    return count;
  }

  frmMAIN form_{std::make_shared<test::RecordingPlatform>(), nullptr};
};

TEST_F(ScreenshotTest, TheWindowHasItsFrameAndTheLayoutsColoursWhereItPutsThem) {
  const QImage shot = GrabClientArea(form_);
  ASSERT_EQ(shot.size(), QSize(348, 322));
  const std::tuple<const char*, QPoint, QColor> spots[] = {
      {"form background", {5, 100}, QColor(224, 224, 224)},
      {"header band", {346, 40}, QColor(255, 255, 255)},
      {"option panel", {300, 195}, QColor(255, 254, 213)},
      {"opTodos, right of its caption", {226, 146}, QColor(255, 254, 213)},
      {"key hint", {48, 298}, QColor(192, 192, 192)},
      {"log box", {60, 250}, QColor(255, 255, 255)},
  };
  for (const auto& [what, at, colour] : spots) EXPECT_EQ(shot.pixelColor(at), colour) << what;
  // Coloured text where the layout colours it, and a picture over the white band.
  const std::tuple<const char*, QColor, int> inks[] = {{"version", QColor(0, 0, 255), 5},
                                                       {"lbInterno", QColor(9, 31, 183), 5},
                                                       {"Label4", QColor(0, 0, 0), 20}};
  for (const auto& [name, want, least] : inks) {
    EXPECT_GT(Count(shot, RectOf(name),
                    [want](QColor c) {
                      return std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                                 std::abs(c.blue() - want.blue()) <
                             60;
                    }),
              least)
        << name;
  }
  EXPECT_GT(Count(shot, RectOf("Image1"), [](QColor c) { return c != QColor(Qt::white); }), 300);

  // A one-pixel black frame around the client area, which the header band overhangs.
  const QImage framed = FormWindow(form_).grab().toImage();
  ASSERT_EQ(framed.size(), QSize(350, 324));
  for (QPoint at : {QPoint(0, 0), QPoint(349, 0), QPoint(0, 323), QPoint(349, 323), QPoint(175, 0),
                    QPoint(0, 160), QPoint(349, 160), QPoint(175, 323)}) {
    EXPECT_EQ(framed.pixelColor(at), QColor(0, 0, 0)) << at.x() << "," << at.y();
  }
  EXPECT_EQ(framed.pixelColor(1, 1), QColor(255, 255, 255));
}

// A bold caption carries clearly more ink than the same caption in the form's regular font.
TEST_F(ScreenshotTest, BoldCaptionsDrawClearlyHeavierThanRegularText) {
  const QImage shot = GrabClientArea(form_);
  const auto ink = [](QColor c) { return c.lightness() < 128; };
  for (const char* name : {"Label1", "Label2"}) {
    QRect area = RectOf(name);
    // The version label lies over the title's right end.
    if (area.intersects(RectOf("version"))) area.setRight(RectOf("version").left() - 1);
    QImage regular(area.size(), QImage::Format_RGB32);
    regular.fill(Qt::white);
    QPainter painter(&regular);
    FontSpec font = form_.FindControl(name)->layout().font;
    font.bold = false;
    painter.setFont(FontFor(font));
    painter.drawText(
        regular.rect(), Qt::AlignLeft | Qt::AlignTop,
        QString::fromStdString(static_cast<Label*>(form_.FindControl(name))->caption()));
    painter.end();
    EXPECT_GT(Count(shot, area, ink), Count(regular, regular.rect(), ink) * 13 / 10) << name;
  }
}

}  // namespace
}  // namespace oq::qt
