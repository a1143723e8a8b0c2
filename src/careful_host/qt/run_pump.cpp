#include "careful_host/qt/run_pump.h"

#include <signal.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

#include "careful_host/component_texts.h"
#include "careful_host/interrupts.h"

namespace oq::careful {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(300);
constexpr auto kPump = std::chrono::milliseconds(100);

// The copy dialog's window: the form names its window "frmMAIN".
QWidget* FormWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QStringLiteral("frmMAIN") && widget->isVisible()) return widget;
  }
  return nullptr;
}

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      return true;
    default:
      return false;
  }
}

}  // namespace

RunPump::RunPump(std::function<void()> closeForm) : closeForm_(std::move(closeForm)) {}

RunPump::~RunPump() {
  End();
  delete question_;
}

void RunPump::Begin() {
  window_ = FormWindow();
  if (window_ == nullptr) return;
  running_ = true;
  copy_ = 0;
  items_ = 0;
  start_ = lastPump_ = Clock::now();
  title_ = window_->windowTitle();
  qApp->installEventFilter(this);
}

void RunPump::Statement(const std::string& sql, const Variant& result) {
  if (!running_) return;
  if (ExistenceCheckNumber(sql)) {
    ++copy_;
  } else if (CopiesItems(sql) && result.isNumeric()) {
    items_ += static_cast<long>(result.toDouble());
  }
  const auto now = Clock::now();
  if (now - start_ < kQuietStart || now - lastPump_ < kPump) return;
  lastPump_ = now;
  const long seconds = std::chrono::duration_cast<std::chrono::seconds>(now - start_).count();
  window_->setWindowTitle(title_ + QStringLiteral(" - copiando: copia %1, %2 artículos (%3 s)")
                                       .arg(copy_)
                                       .arg(items_)
                                       .arg(seconds));
  QApplication::processEvents();
}

void RunPump::End() {
  if (!running_) return;
  running_ = false;
  qApp->removeEventFilter(this);
  if (window_ != nullptr) window_->setWindowTitle(title_);
}

bool RunPump::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!running_ || widget == nullptr || widget->window() != window_) return false;
  if (event->type() == QEvent::Close) {
    event->ignore();
    AskToStop();
    return true;
  }
  if (!IsInput(event->type())) return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    AskToStop();
  }
  return true;
}

void RunPump::AskToStop() {
  if (question_ != nullptr) return;
  question_ = new QMessageBox(QMessageBox::Question, title_,
                              QStringLiteral("Hay una copia en curso. ¿Detenerla y cerrar?\n"
                                             "Lo que grabó se deshace."),
                              QMessageBox::Yes | QMessageBox::No, window_);
  question_->setDefaultButton(QMessageBox::No);
  question_->setAttribute(Qt::WA_DeleteOnClose);
  connect(question_, &QMessageBox::finished, this, [this](int answer) {
    if (answer != QMessageBox::Yes) return;
    if (running_) {
      RequestStop(SIGINT);
    } else if (closeForm_) {
      closeForm_();
    }
  });
  question_->open();
}

}  // namespace oq::careful
