#include "platform/qt/form_window.h"

#include <QApplication>
#include <QChildEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QValidator>
#include <algorithm>

#include "dialog/frmMAIN_layout.h"
#include "host/class_identity.h"
#include "platform/qt/control_widgets.h"
#include "platform/qt/qt_fonts.h"

namespace oq::qt {

namespace {

// Holds typing and pasting to the box's limit: a paste past it keeps its first characters, as the
// platform's edit box does. A program's text (set through the form's box first) is kept whole, and
// the user may still shorten it.
class TypingLimit : public QValidator {
 public:
  TypingLimit(const TextBox& box, QLineEdit* line) : QValidator(line), box_(box) {}
  State validate(QString& input, int& pos) const override {
    // The form's box still holds the text from before this edit; the line edit already has the
    // new one, with the cursor just after what was typed or pasted.
    const std::string head = input.left(pos).toStdString();
    const std::string kept = box_.FitEdit(box_.text(), head, input.mid(pos).toStdString());
    if (kept.size() != head.size()) {
      const QString cut = QString::fromStdString(kept);
      input = cut + input.mid(pos);
      pos = static_cast<int>(cut.size());
    }
    return Acceptable;
  }

 private:
  const TextBox& box_;
};

}  // namespace

FormWindow::FormWindow(frmMAIN& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), form_(form) {
  setObjectName(QStringLiteral("frmMAIN"));
  setWindowTitle(QString::fromUtf8(identity::kApplicationTitle.data(),
                                   static_cast<qsizetype>(identity::kApplicationTitle.size())));
  const int width = Pixels(layout::kClientWidth);
  const int height = Pixels(layout::kClientHeight);
  setFixedSize(width + 2, height + 2);  // the client area inside a one-pixel frame

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  client_->setGeometry(1, 1, width, height);
  QPalette palette = client_->palette();
  palette.setColor(QPalette::Window, ToQColor(layout::kFormBack));
  client_->setPalette(palette);
  client_->setAutoFillBackground(true);
  client_->setFont(FontFor(layout::FormFont()));

  // Created back to front, so that each control lies over those behind it.
  const std::vector<Control*> controls = form_.Controls();
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    QWidget* widget = CreateControlWidget(**it, client_);
    widgets_[(*it)->name()] = widget;
    ConnectEdits(**it, widget);
  }

  std::vector<Control*> tabStops;
  for (Control* control : controls) {
    if (control->layout().tabIndex >= 0 && (control->kind() == ControlKind::kTextBox ||
                                            control->kind() == ControlKind::kOptionButton)) {
      tabStops.push_back(control);
    }
  }
  std::ranges::sort(tabStops, {}, [](const Control* c) { return c->layout().tabIndex; });
  for (std::size_t i = 1; i < tabStops.size(); ++i) {
    setTabOrder(WidgetFor(tabStops[i - 1]->name()), WidgetFor(tabStops[i]->name()));
  }

  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now == nullptr || now->window() != this || !form_.IsLoaded()) return;
    if (Control* control = form_.FindControl(now->objectName().toStdString())) {
      form_.SetFocus(*control);
    }
  });
  Watch(this);
}

FormWindow::~FormWindow() = default;

QWidget* FormWindow::WidgetFor(const std::string& name) const {
  auto found = widgets_.find(name);
  return found == widgets_.end() ? nullptr : found->second;
}

void FormWindow::ConnectEdits(Control& control, QWidget* widget) {
  if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    auto& box = static_cast<TextBox&>(control);
    line->setValidator(new TypingLimit(box, line));
    connect(line, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
      relaying_ = true;
      box.setText(text.toStdString());
      relaying_ = false;
    });
  } else if (auto* log = qobject_cast<QPlainTextEdit*>(widget)) {
    auto& box = static_cast<TextBox&>(control);
    connect(log, &QPlainTextEdit::textChanged, this, [this, &box, log] {
      relaying_ = true;
      box.setText(FromDisplayText(log->toPlainText()));
      relaying_ = false;
    });
  } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
    auto& option = static_cast<OptionButton&>(control);
    // Selecting by mouse or keyboard selects the form's option, which runs its click.
    connect(radio, &QRadioButton::toggled, this, [&option](bool checked) {
      if (checked) option.setValue(true);
    });
  }
}

void FormWindow::ShowControl(const Control& control) {
  QWidget* widget = WidgetFor(control.name());
  if (widget == nullptr) return;
  // A box the user is editing already shows its text.
  if (!(relaying_ && control.kind() == ControlKind::kTextBox)) ShowState(control, widget);
  if (inKeyPreview_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FormWindow::FocusActiveControl() {
  if (Control* active = form_.ActiveControl()) {
    if (QWidget* widget = WidgetFor(active->name())) widget->setFocus(Qt::OtherFocusReason);
  }
}

std::exception_ptr FormWindow::TakeFailure() { return std::exchange(failure_, nullptr); }

void FormWindow::Watch(QObject* object) {
  object->installEventFilter(this);
  for (QObject* child : object->children()) {
    if (child->isWidgetType() && static_cast<QWidget*>(child)->isWindow()) continue;
    Watch(child);
  }
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    // Widgets made later (a scroll bar, a viewport) must preview keys as well.
    QObject* child = static_cast<QChildEvent*>(event)->child();
    if (!(child->isWidgetType() && static_cast<QWidget*>(child)->isWindow())) Watch(child);
  } else if (event->type() == QEvent::KeyPress) {
    PreviewKey(watched, static_cast<QKeyEvent*>(event));
  }
  return false;  // the control still gets every key
}

bool FormWindow::PreviewKey(QObject* watched, QKeyEvent* event) {
  // A key the focused control ignores travels on to its parents: preview it once, where it
  // first arrives.
  QWidget* focus = QApplication::focusWidget();
  const bool firstArrival =
      watched == focus || (watched == this && (focus == nullptr || focus->window() != this));
  if (!firstArrival || inKeyPreview_ || !form_.IsLoaded()) return false;
  std::int16_t keyCode = FormKeyCode(event->key());
  if (keyCode == 0) return false;
  inKeyPreview_ = true;
  try {
    form_.Form_KeyDown(keyCode, FormShiftState(event->modifiers()));
  } catch (...) {
    // Nothing may be thrown through the event loop: the failure ends the showing and goes to the
    // caller of the modal loop.
    failure_ = std::current_exception();
    form_.Unload();
  }
  inKeyPreview_ = false;
  return true;
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  // ESC has been handled by the form's key preview; the dialog must not close itself again.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The form closes only by its own Unload.
  if (form_.IsLoaded() && form_.IsShowing()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void FormWindow::reject() {
  if (!form_.IsShowing()) QDialog::reject();
}

void FormWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(QColor(0, 0, 0), 0));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

std::int16_t FormKeyCode(int qtKey) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F16) {
    return static_cast<std::int16_t>(112 + (qtKey - Qt::Key_F1));
  }
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return static_cast<std::int16_t>(qtKey);
  }
  switch (qtKey) {
    case Qt::Key_Escape:
      return vbKeyEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    default:
      return 0;
  }
}

std::int16_t FormShiftState(Qt::KeyboardModifiers modifiers) {
  std::int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= vbShiftMask;
  if (modifiers & Qt::ControlModifier) shift |= vbCtrlMask;
  if (modifiers & Qt::AltModifier) shift |= vbAltMask;
  return shift;
}

}  // namespace oq::qt
