#pragma once

#include <QDialog>
#include <exception>
#include <map>
#include <string>

#include "dialog/frmMAIN.h"

namespace oq::qt {

// The window of a loaded frmMAIN: a frameless dialog with a one-pixel frame around the form's
// client area (348 x 322 pixels), a widget per control drawn from the layout, and the form's key
// preview. It relays what the user does (typing, option clicks, focus moves) to the form and shows
// what the form's controls become. The form must outlive the window.
class FormWindow : public QDialog {
  Q_OBJECT

 public:
  explicit FormWindow(frmMAIN& form, QWidget* parent = nullptr);
  ~FormWindow() override;

  // The client area, where the controls lie.
  QWidget* client() const { return client_; }
  // The widget of the control named `name`, or null.
  QWidget* WidgetFor(const std::string& name) const;
  // Shows the control's new state; while a key press is being handled (a copy run works), also
  // repaints at once, leaving the user's input queued until the run returns.
  void ShowControl(const Control& control);
  // Gives the focus to the form's active control (txtLOG after a load).
  void FocusActiveControl();
  // A failure that an event procedure raised while the window handled a key; it unloaded the form.
  std::exception_ptr TakeFailure();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Watch(QObject* object);
  void ConnectEdits(Control& control, QWidget* widget);
  bool PreviewKey(QObject* watched, QKeyEvent* event);

  frmMAIN& form_;
  QWidget* client_ = nullptr;
  std::map<std::string, QWidget*> widgets_;
  bool inKeyPreview_ = false;
  bool relaying_ = false;  // a change the user made is on its way to the form
  std::exception_ptr failure_;
};

// The form's key code for a Qt key (F11 -> 122, Escape -> 27, letters and digits as themselves),
// 0 for a key the form has no code for; and the Shift, Ctrl, Alt state as the form's mask.
std::int16_t FormKeyCode(int qtKey);
std::int16_t FormShiftState(Qt::KeyboardModifiers modifiers);

}  // namespace oq::qt
