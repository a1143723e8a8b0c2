#include "platform/qt/qt_form_view.h"

#include <QGuiApplication>
#include <QScreen>

namespace oq::qt {

QtFormView::~QtFormView() = default;

void QtFormView::RunModal(frmMAIN& form) {
  window_ = std::make_unique<FormWindow>(form);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect place = window_->geometry();
    place.moveCenter(screen->availableGeometry().center());
    window_->move(place.topLeft());
  }
  window_->setModal(true);
  window_->show();
  window_->activateWindow();
  window_->FocusActiveControl();
  if (form.IsLoaded()) window_->exec();
  std::exception_ptr failure = window_->TakeFailure();
  window_.reset();
  if (failure) std::rethrow_exception(failure);
}

void QtFormView::EndModal() {
  if (window_) window_->done(0);
}

void QtFormView::ControlChanged(const Control& control) {
  if (window_) window_->ShowControl(control);
}

}  // namespace oq::qt
