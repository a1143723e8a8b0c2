#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "careful_host/component_texts.h"
#include "careful_host/run_guard.h"
#include "careful_host/run_savings.h"
#include "connectors/common/transaction_control.h"
#include "engine/copy_form.h"
#include "engine/platform_port.h"
#include "host/host_connection.h"

// The pieces through which a RunGuard watches a run: the run's record, and the connection,
// platform and form it hands the component in place of the host's own. Internal to the guard.
namespace oq::careful::guard {

// Thrown through the component when the run's transaction cannot be opened. Like an interruption
// it is no Failure, so the run stops where it stands and the guard reports it.
class RunCouldNotStart : public std::exception {
 public:
  explicit RunCouldNotStart(std::string why) : why_(std::move(why)) {}
  const char* what() const noexcept override { return why_.c_str(); }

 private:
  std::string why_;
};

struct Box {
  std::string prompt;
  int style;
};

// What one run did that decides its fate.
struct RunWatch {
  std::optional<std::string> fault;
  int signal = 0;
  bool committed = false;
  std::vector<std::string> freeNumbers;
  std::vector<Mark> marks;  // asked for, not yet committed
  std::vector<Box> held;    // notices waiting for the transaction to end
  // In a batch the runs stand or fall together: a number found taken fails them all.
  bool takenIsFault = false;

  void Fault(std::string why) {
    if (!fault) fault = std::move(why);
  }
  bool healthy() const { return !fault && signal == 0; }
};

// What the watching pieces below ask of the guard while a run is in progress.
class RunState {
 public:
  virtual ~RunState() = default;
  // The run in progress, or null between runs.
  virtual RunWatch* watch() = 0;
  virtual connectors::TransactionControl* control() = 0;
  virtual RunSavings& savings() = 0;
  // The decimal separator of the run's platform.
  virtual std::string DecimalSeparator() = 0;
  // Before each statement: stops an interrupted run and opens the transaction when none is open.
  virtual void BeforeStatement() = 0;
  // Before a box: ends the transaction as the box requires; false when the box is held back.
  virtual bool BeforeBox(const std::string& prompt, int style) = 0;
};

// The component's connection: every statement passes here, so a refused one, a lost connection
// and an interruption are all seen, and the existence check of a number locks it first.
class GuardedConnection : public HostConnection {
 public:
  GuardedConnection(std::shared_ptr<HostConnection> inner, RunState& state)
      : inner_(std::move(inner)), state_(state) {}

  void Observe(std::function<void(const std::string&, const Variant&)> observer) {
    observer_ = std::move(observer);
  }

  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  // An existence check locks its number first, and records it as free or taken.
  Variant crearrs(Variant& recordset) override;
  Variant ejecutar() override;

  // Sends the inserts the run's savings hold and, with `finish`, reads every answer (without,
  // the last batch may still run on the server); a refused one is the run's fault, and thrown.
  void SendHeld(bool finish = true);
  // The same, for where nothing can be thrown: a refused insert is only the run's fault.
  void SendHeldQuietly() noexcept;

 private:
  // Runs one statement: stops an interrupted run first, and records a refused statement.
  Variant Guarded(const std::function<Variant()>& call);

  std::shared_ptr<HostConnection> inner_;
  RunState& state_;
  std::function<void(const std::string&, const Variant&)> observer_;
  std::string sql_;
};

// The run's platform: a failure box is a fault, a box may end the transaction first or wait for
// its end, and marks wait for the commit.
class WatchingPlatform : public PlatformPort {
 public:
  WatchingPlatform(PlatformPort& inner, RunState& state, RunWatch& watch, bool holdMarks)
      : inner_(inner), state_(state), watch_(watch), holdMarks_(holdMarks) {}

  void MsgBox(const std::string& prompt, int style) override {
    if (state_.BeforeBox(prompt, style)) inner_.MsgBox(prompt, style);
  }
  void SetMousePointer(int pointer) override { inner_.SetMousePointer(pointer); }
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (holdMarks_) {
      watch_.marks.push_back({appName, section, key, value});
    } else {
      inner_.SaveSetting(appName, section, key, value);
    }
  }
  std::string DecimalSeparator() const override { return inner_.DecimalSeparator(); }

 private:
  PlatformPort& inner_;
  RunState& state_;
  RunWatch& watch_;
  bool holdMarks_;
};

// The run's form: every log text passes here, including lines a later copy's "Procesando..."
// replaces.
class WatchingForm : public CopyForm {
 public:
  WatchingForm(CopyForm& inner, RunWatch& watch) : inner_(inner), watch_(watch) {}

  std::string get_Text1() const override { return inner_.get_Text1(); }
  std::string get_txtCopias() const override { return inner_.get_txtCopias(); }
  void let_txtCopias(const std::string& text) override { inner_.let_txtCopias(text); }
  std::string get_txtLOG() const override { return inner_.get_txtLOG(); }
  void let_txtLOG(const std::string& text) override {
    if (LogsFailedStep(text)) watch_.Fault("a copy step failed (\"Error en agregar\" in the log)");
    inner_.let_txtLOG(text);
  }

 private:
  CopyForm& inner_;
  RunWatch& watch_;
};

}  // namespace oq::careful::guard
