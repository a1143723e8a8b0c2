#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <string>

#include "host/variant.h"

class QMessageBox;
class QWidget;

namespace oq::careful {

// Keeps the copy dialog alive while a run, which the component makes on the window's own thread,
// goes on: every tenth of a second (between two statements) the window repaints and its title,
// which the task bar shows, tells how far the run is. Meanwhile the form takes no input (a key or
// a click would reach the component in the middle of its run); ESC and the close button are
// answered with a question instead, and a yes stops the run as an interruption does.
class RunPump : public QObject {
 public:
  // `closeForm` closes the form when the answer comes after the run has ended.
  explicit RunPump(std::function<void()> closeForm);
  ~RunPump() override;

  void Begin();
  // A statement of the run has run, with its result.
  void Statement(const std::string& sql, const Variant& result);
  void End();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AskToStop();

  using Clock = std::chrono::steady_clock;
  std::function<void()> closeForm_;
  QPointer<QWidget> window_;
  QPointer<QMessageBox> question_;
  QString title_;
  bool running_ = false;
  int copy_ = 0;
  long items_ = 0;
  Clock::time_point start_{}, lastPump_{};
};

}  // namespace oq::careful
