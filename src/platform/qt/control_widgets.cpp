#include "platform/qt/control_widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPolygonF>
#include <QRadioButton>
#include <QSignalBlocker>

#include "dialog/frmMAIN_layout.h"
#include "platform/qt/qt_fonts.h"

namespace oq::qt {

namespace {

// A filled rectangle: the layout's shapes and the picture draw themselves.
class ShapeWidget : public QWidget {
 public:
  ShapeWidget(QColor fill, QWidget* parent) : QWidget(parent), fill_(fill) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), fill_); }

 private:
  QColor fill_;
};

class PictureWidget : public QWidget {
 public:
  explicit PictureWidget(QWidget* parent) : QWidget(parent), picture_(FormPicture()) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

Qt::Alignment ToQtAlignment(Alignment alignment) {
  // Captions sit at the top of their box, as the form's labels do.
  switch (alignment) {
    case Alignment::kRight:
      return Qt::AlignRight | Qt::AlignTop;
    case Alignment::kCentre:
      return Qt::AlignHCenter | Qt::AlignTop;
    case Alignment::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

// Colours the widget from the layout; a transparent background leaves what lies behind visible.
void ApplyColours(const ControlLayout& layout, QWidget* widget) {
  QPalette palette = widget->palette();
  const QColor fore = ToQColor(layout.fore);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    palette.setColor(QPalette::Active, role, fore);
    palette.setColor(QPalette::Inactive, role, fore);
  }
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
  if (layout.back.kind != Colour::Kind::kTransparent) {
    const QColor back = ToQColor(layout.back);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::Button, back);  // the background role of option buttons
    palette.setColor(QPalette::Base, back);    // a disabled box keeps its background
    widget->setAutoFillBackground(layout.kind != ControlKind::kTextBox);
  }
  widget->setPalette(palette);
}

QWidget* MakeWidget(const Control& control, QWidget* parent) {
  const ControlLayout& layout = control.layout();
  switch (layout.kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(ToQtAlignment(layout.alignment));
      return label;
    }
    case ControlKind::kTextBox:
      if (layout.multiLine) {
        auto* log = new QPlainTextEdit(parent);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        log->setTabChangesFocus(true);
        return log;
      }
      return new QLineEdit(parent);
    case ControlKind::kOptionButton: {
      auto* option = new QRadioButton(QString::fromStdString(layout.text), parent);
      option->setAutoExclusive(true);
      return option;
    }
    case ControlKind::kShape:
      return new ShapeWidget(ToQColor(layout.back), parent);
    case ControlKind::kImage:
      return new PictureWidget(parent);
  }
  return nullptr;
}

}  // namespace

int Pixels(int twips) {
  const int half = layout::kTwipsPerPixel / 2;
  return twips >= 0 ? (twips + half) / layout::kTwipsPerPixel
                    : -((-twips + half) / layout::kTwipsPerPixel);
}

QColor ToQColor(const Colour& colour) {
  switch (colour.kind) {
    case Colour::Kind::kRgb:
      return QColor(colour.rgb.red, colour.rgb.green, colour.rgb.blue);
    case Colour::Kind::kWindowBackground:
      return QColor(255, 255, 255);
    case Colour::Kind::kWindowText:
    case Colour::Kind::kButtonText:
      return QColor(0, 0, 0);
    case Colour::Kind::kTransparent:
      break;
  }
  return QColor(Qt::transparent);
}

QWidget* CreateControlWidget(const Control& control, QWidget* parent) {
  const ControlLayout& layout = control.layout();
  QWidget* widget = MakeWidget(control, parent);
  widget->setObjectName(QString::fromStdString(layout.name));
  widget->setGeometry(Pixels(layout.left), Pixels(layout.top), Pixels(layout.width),
                      Pixels(layout.height));
  widget->setFont(FontFor(layout.font));
  ApplyColours(layout, widget);
  const bool interactive =
      layout.kind == ControlKind::kTextBox || layout.kind == ControlKind::kOptionButton;
  if (!interactive) {
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  ShowState(control, widget);
  return widget;
}

void ShowState(const Control& control, QWidget* widget) {
  const QSignalBlocker blocker(widget);
  widget->setEnabled(control.enabled());
  if (const auto* label = dynamic_cast<const Label*>(&control)) {
    static_cast<QLabel*>(widget)->setText(QString::fromStdString(label->caption()));
  } else if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
    auto* radio = static_cast<QRadioButton*>(widget);
    if (!option->value() && radio->isChecked()) {
      // An exclusive button refuses to be unchecked while its group has no other selection.
      radio->setAutoExclusive(false);
      radio->setChecked(false);
      radio->setAutoExclusive(true);
    } else {
      radio->setChecked(option->value());
    }
  } else if (const auto* box = dynamic_cast<const TextBox*>(&control)) {
    if (auto* log = qobject_cast<QPlainTextEdit*>(widget)) {
      const QString text = ToDisplayText(box->text());
      if (log->toPlainText() != text) {
        log->setPlainText(text);
        log->moveCursor(QTextCursor::End);
      }
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      // The line edit keeps its default, generous limit: its own limit would cut a program's
      // text, whereas the form holds only typing to the box's limit.
      const QString text = QString::fromStdString(box->text());
      if (line->text() != text) line->setText(text);
    }
  }
}

QImage FormPicture() {
  QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The folder's back (with its tab) and front: closed outlines in two shades of yellow.
  const QColor outline(120, 84, 20);
  const auto part = [&p, &outline](std::initializer_list<QPointF> corners, QColor fill) {
    QPainterPath path;
    path.addPolygon(QPolygonF(corners));
    path.closeSubpath();
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    p.drawPath(path);
  };
  part({{3, 40}, {3, 9}, {16, 9}, {19, 13}, {44, 13}, {44, 40}}, QColor(222, 170, 52));
  // Two sheets: the interno and its copy, the copy in front.
  const auto sheet = [&p](int x, int y, QColor lines) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x + 0.5, y + 0.5, 19, 24));
    p.setPen(QPen(lines, 1));
    for (int line = 0; line < 5; ++line) {
      p.drawLine(QPointF(x + 4, y + 5.5 + 3 * line), QPointF(x + 16, y + 5.5 + 3 * line));
    }
  };
  sheet(9, 5, QColor(9, 31, 183));
  sheet(20, 10, QColor(9, 31, 183));
  // The folder's front, over the sheets.
  part({{3, 44}, {7, 24}, {47, 24}, {43, 44}}, QColor(250, 208, 96));
  // The copy arrow.
  p.setPen(QPen(QColor(20, 140, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(12, 34), QPointF(30, 34));
  p.drawLine(QPointF(25, 29), QPointF(31, 34));
  p.drawLine(QPointF(25, 39), QPointF(31, 34));
  return image;
}

QString ToDisplayText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string FromDisplayText(const QString& text) {
  QString copy = text;
  return copy.replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

}  // namespace oq::qt
