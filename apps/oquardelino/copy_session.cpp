#include "copy_session.h"

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>

#include "commands.h"
#include "dialog/frmMAIN.h"
#include "dialog/headless_view.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "host/forms.h"
#include "interrupts.h"
#include "platform/settings_store.h"

namespace oq::app {

namespace {

// The headless view of the command: besides playing the user's part it keeps every text the log
// box held and, when given a stream, shows the log there as it grows. A log that is replaced
// rather than extended starts on a new line.
class CommandView : public HeadlessView {
 public:
  explicit CommandView(std::ostream* out) : out_(out) {}

  void ControlChanged(const Control& control) override {
    HeadlessView::ControlChanged(control);
    const auto* box = dynamic_cast<const TextBox*>(&control);
    if (box == nullptr || box->name() != "txtLOG") return;
    logTexts_.push_back(box->text());
    if (out_ != nullptr) Show(box->text());
  }

  // Ends the log's last line on the stream.
  void Finish() {
    if (out_ != nullptr && lineOpen_) *out_ << '\n' << std::flush;
    lineOpen_ = false;
  }

  const std::vector<std::string>& logTexts() const { return logTexts_; }
  // True while the last log text shown has no line break at its end.
  bool lineOpen() const { return lineOpen_; }
  // The terminal's cursor was moved to a new line by someone else.
  void LineEndedOnTerminal() { lineOpen_ = false; }

 private:
  void Show(const std::string& text) {
    std::string fresh;
    // An append always adds text; the same or another text written anew is a replacement.
    if (text.size() > shown_.size() && text.starts_with(shown_)) {
      fresh = text.substr(shown_.size());
    } else {
      if (lineOpen_ && !text.empty()) *out_ << '\n';
      if (!text.empty()) lineOpen_ = false;
      fresh = text;
    }
    shown_ = text;
    if (fresh.empty()) return;
    const std::string plain = WithPlainLineBreaks(fresh);
    *out_ << plain << std::flush;
    lineOpen_ = !plain.ends_with('\n');
  }

  std::ostream* out_;
  std::vector<std::string> logTexts_;
  std::string shown_;
  bool lineOpen_ = false;
};

OptionButton& SelectedOption(frmMAIN& form, const std::string& option) {
  if (option == "con-lapi") return form.opLAPI();
  if (option == "sin-lapi") return form.opSinLAPI();
  return form.opTodos();
}

bool RunSucceeded(const std::string& finalLog, const std::vector<ConsolePlatform::Message>& boxes,
                  const std::vector<std::string>& logTexts) {
  const bool failureBox = std::any_of(boxes.begin(), boxes.end(), [](const auto& box) {
    return box.style == vbOKOnly || box.style == vbCritical || box.style == vbExclamation;
  });
  const bool badLine = std::any_of(logTexts.begin(), logTexts.end(), [](const std::string& text) {
    return text.find("Error en agregar") != std::string::npos ||
           text.find("ya existe") != std::string::npos ||
           text.find("ya Existe") != std::string::npos;
  });
  return finalLog.ends_with("Proceso terminado...") && !failureBox && !badLine;
}

void RemoveMark(const std::string& appName, const std::string& section, const std::string& key) {
  SettingsStore::ForCurrentUser().Remove(appName, section, key);
}

}  // namespace

CopyResult RunCopySession(const SessionDatabases& databases,
                          connectors::TransactionControl* control, const CopyRequest& request,
                          std::ostream* log, std::ostream* boxes, std::ostream& notes) {
  auto platform = std::make_shared<ConsolePlatform>(boxes);
  auto view = std::make_shared<CommandView>(log);
  // On a terminal that shows both streams, a box must not land at the end of an open log line.
  // The break goes to the terminal only: standard output keeps the log exactly.
  if (log == &std::cout && ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1) {
    platform->SetBeforeMessage([view] {
      if (!view->lineOpen()) return;
      std::cout.flush();
      std::cerr << '\n';
      view->LineEndedOnTerminal();
    });
  }

  RunGuard guard(databases.internos, request.keepPartial ? nullptr : control, &RemoveMark,
                 &PendingSignal);
  guard.SetOnDiscarded([&notes, view](const std::string& line, CopyContext&) {
    view->Finish();
    notes << "oquardelino copy: " << line << '\n';
  });
  CopyRuns runs = guard.Wrap(CopyRuns::Engine());
  auto inSpan = [](std::function<void(CopyContext&)> run) {
    return [run = std::move(run)](CopyContext& ctx) {
      RunSpan span;
      run(ctx);
    };
  };
  runs = {inSpan(std::move(runs.todos)), inSpan(std::move(runs.conLAPI)),
          inSpan(std::move(runs.sinLAPI))};

  std::shared_ptr<frmMAIN> form;
  view->SetScript([&request](frmMAIN& shown) {
    shown.Text1().setText(request.newNumber);
    shown.txtCopias().setText(request.copiesText);
    SelectedOption(shown, request.option).setValue(true);
    HeadlessView::PressKey(shown, vbKeyF11);
    HeadlessView::PressKey(shown, vbKeyEscape);
  });
  SetMainFormFactory([platform, view, &form, &runs] {
    form = std::make_shared<frmMAIN>(platform, view);
    form->SetCopyRuns(runs);
    return form;
  });

  CopyResult result;
  try {
    cMAIN main;
    SessionDatabases guarded = databases;
    // The NCM database may be the same connection; the lookups then run inside the transaction.
    if (guarded.ncm == guarded.internos) guarded.ncm = guard.connection();
    guarded.internos = guard.connection();
    HandSessionToMain(main, guarded, request);
    main.Mostrar();
    view->Finish();
    result.status = RunSucceeded(form->get_txtLOG(), platform->messages(), view->logTexts()) &&
                            (!guard.lastOutcome() || guard.lastOutcome()->kept)
                        ? kExitOk
                        : kExitRunFailed;
  } catch (const Failure& failure) {
    view->Finish();
    notes << "oquardelino copy: " << failure.number() << " - " << failure.description() << " ("
          << failure.source() << ")\n";
  } catch (const std::exception& e) {
    // Not a failure of the component's own kind (a host object gone wrong): the run did not end.
    view->Finish();
    notes << "oquardelino copy: " << e.what() << '\n';
  }
  result.outcome = guard.lastOutcome();
  if (result.outcome && result.outcome->signal != 0) {
    if (result.outcome->kept) {
      notes << "oquardelino copy: interrupted; what the run wrote so far stays (--keep-partial)\n";
    }
    result.status = 128 + result.outcome->signal;
  }
  result.log = form ? form->get_txtLOG() : "";
  result.copias = form ? form->get_txtCopias() : "";
  result.messages = platform->messages();
  result.pointer = platform->pointer();
  // The session holds the connections and the form; release them before the databases close.
  SetMainFormFactory({});
  basGLOBAL::Reset();
  return result;
}

}  // namespace oq::app
