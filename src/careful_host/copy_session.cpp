#include "careful_host/copy_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>

#include "careful_host/component_texts.h"
#include "careful_host/exit_status.h"
#include "careful_host/interrupts.h"
#include "careful_host/mark_ledger.h"
#include "careful_host/progress_meter.h"
#include "careful_host/request_checks.h"
#include "dialog/frmMAIN.h"
#include "dialog/headless_view.h"
#include "engine/sql_text.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "host/forms.h"
#include "host/recordset.h"
#include "platform/settings_store.h"

namespace oq::careful {

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
  // Called before the log writes to its stream (a progress line is erased first).
  void SetBeforeOutput(std::function<void()> beforeOutput) {
    beforeOutput_ = std::move(beforeOutput);
  }

 private:
  void Show(const std::string& text) {
    std::string fresh;
    // An append always adds text; the same or another text written anew is a replacement.
    if (text.size() > shown_.size() && text.starts_with(shown_)) {
      fresh = text.substr(shown_.size());
    } else {
      // A log replaced or emptied (a second run clears it) goes on on a new line.
      if (lineOpen_) *out_ << '\n';
      lineOpen_ = false;
      fresh = text;
    }
    shown_ = text;
    if (fresh.empty()) return;
    if (beforeOutput_) beforeOutput_();
    const std::string plain = WithPlainLineBreaks(fresh);
    *out_ << plain << std::flush;
    lineOpen_ = !plain.ends_with('\n');
  }

  std::ostream* out_;
  std::function<void()> beforeOutput_;
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
    return IsFailureBox(box.style) || box.style == vbExclamation;
  });
  const bool badLine = std::any_of(logTexts.begin(), logTexts.end(), [](const std::string& text) {
    return LogsFailedStep(text) || LogsTakenNumber(text);
  });
  return LogsRunEnd(finalLog) && !failureBox && !badLine;
}

// A number read from the first row of a query's field, 0 when there is no row or no number.
std::optional<double> FirstNumber(HostConnection& connection, const std::string& sql,
                                  const std::string& field) {
  connection.put_sql(sql);
  Variant rows;
  if (!connection.crearrs(rows).isTrue()) return std::nullopt;
  const Variant value = dynamic_cast<Recordset&>(*rows.asObject()).Fields(field).Value();
  return value.isNumeric() ? value.toDouble() : 0.0;
}

std::vector<CreatedInterno> Created(HostConnection& internos,
                                    const std::vector<std::string>& numbers) {
  std::vector<CreatedInterno> created;
  for (const std::string& number : numbers) {
    const std::string where = " where interno = '" + sql::Escape(number) + "'";
    const auto fob = FirstNumber(internos, "select fobdivisas as f from caratula" + where, "f");
    if (!fob) continue;
    const auto items = FirstNumber(internos, "select count(*) as n from subitems" + where, "n");
    created.push_back({number, static_cast<long>(items.value_or(0)), *fob});
  }
  return created;
}

// Whether two descriptors write to the same terminal, pipe or file.
bool SameTarget(int a, int b) {
  struct stat first {
  }, second{};
  return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

std::unique_ptr<RunGuard> MakeProgramRunGuard(std::shared_ptr<HostConnection> internos,
                                              connectors::TransactionControl* control,
                                              std::function<void(const std::string&)> warn,
                                              std::function<void(bool writing)> onWriting,
                                              const std::string& source) {
  RunGuardHooks hooks;
  hooks.pendingSignal = &PendingSignal;
  hooks.onWriting = std::move(onWriting);
  hooks.warn = std::move(warn);
  if (control != nullptr) {
    hooks.ledger = std::make_shared<StoreMarkLedger>(SettingsStore::ForCurrentUser(),
                                                     control->DatabaseIdentity(), internos, source);
  }
  return std::make_unique<RunGuard>(std::move(internos), control, std::move(hooks));
}

CopyResult RunCopySession(const SessionDatabases& databases,
                          connectors::TransactionControl* control, const CopyRequest& request,
                          std::ostream* log, std::ostream* boxes, std::ostream& notes) {
  auto platform = std::make_shared<ConsolePlatform>(boxes);
  auto view = std::make_shared<CommandView>(log);
  const std::string prefix = "oquardelino " + request.command + ": ";
  std::unique_ptr<ProgressMeter> meter;
  // The program's own lines start on a line of their own, the progress line (and a ^C the
  // terminal echoed at its end) erased first.
  const auto note = [&notes, &meter, view, prefix](const std::string& line) {
    if (meter) meter->Finish();
    view->Finish();
    notes << prefix << line << '\n';
  };
  if (request.keepPartial) SendTextsAsWritten(databases);
  const std::unique_ptr<RunGuard> guardOwner =
      MakeProgramRunGuard(databases.internos, request.keepPartial ? nullptr : control, note, {},
                          request.source);
  RunGuard& guard = *guardOwner;
  guard.SetOnDiscarded([note](const std::string& line, CopyContext*) { note(line); });
  // A separate NCM database answers the runs' repeated lookups from memory.
  std::shared_ptr<HostConnection> ncm =
      databases.ncm == databases.internos ? databases.ncm : guard.Lookups(databases.ncm);
  // When both streams reach one screen, pipe or file, a box or a progress line must not land at
  // the end of an open log line; the break goes to standard error, so the log stays exact.
  const bool oneTarget = log == &std::cout && boxes == &std::cerr && SameTarget(1, 2);
  auto endLogLine = [view, oneTarget] {
    if (!oneTarget || !view->lineOpen()) return;
    std::cout.flush();
    std::cerr << '\n';
    view->LineEndedOnTerminal();
  };
  if (request.progress) {
    const bool filtered = request.option != "todos";
    const auto items = FirstNumber(
        *databases.internos,
        "select count(*) as n from subitems where interno = '" + sql::Escape(request.source) + "'",
        "n");
    meter = std::make_unique<ProgressMeter>(
        std::cerr, filtered ? 1 : CopiesTheBoxMakes(request.copiesText),
        static_cast<long>(items.value_or(0)), filtered, endLogLine);
    guard.SetObserver(
        [&meter](const std::string& sql, const Variant& result) { meter->Statement(sql, result); });
    if (databases.ncm != databases.internos)
      ncm = std::make_shared<ObservedConnection>(ncm, *meter);
    view->SetBeforeOutput([&meter] { meter->Finish(); });
  }
  platform->SetBeforeMessage([&meter, endLogLine] {
    if (meter) meter->Finish();
    endLogLine();
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
  platform->SetQuietEnd([&form, shown = platform.get(), view] {
    return form && RunSucceeded(form->get_txtLOG(), shown->messages(), view->logTexts());
  });
  if (!request.morePresses.empty()) guard.BeginBatch();
  view->SetScript([&request](frmMAIN& shown) {
    shown.Text1().setText(request.newNumber);
    shown.txtCopias().setText(request.copiesText);
    SelectedOption(shown, request.option).setValue(true);
    HeadlessView::PressKey(shown, vbKeyF11);
    for (const CopyRequest::Press& press : request.morePresses) {
      shown.Text1().setText(press.newNumber);
      SelectedOption(shown, press.option).setValue(true);
      HeadlessView::PressKey(shown, vbKeyF11);
    }
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
    // The NCM database may be the same connection; the lookups then run inside the transaction.
    SessionDatabases guarded{guard.connection(),
                             databases.ncm == databases.internos ? guard.connection() : ncm};
    HandSessionToMain(main, guarded, request);
    main.Mostrar();
    guard.FinishBatch();
    if (meter) meter->Finish();
    view->Finish();
    result.status = RunSucceeded(form->get_txtLOG(), platform->messages(), view->logTexts()) &&
                            (!guard.lastOutcome() || guard.lastOutcome()->kept)
                        ? kExitOk
                        : kExitRunFailed;
  } catch (const Failure& failure) {
    view->Finish();
    result.failure = std::to_string(failure.number()) + " - " + failure.description() + " (" +
                     failure.source() + ")";
    notes << prefix << result.failure << '\n';
  } catch (const std::exception& e) {
    // Not a failure of the component's own kind (a host object gone wrong): the run did not end.
    view->Finish();
    result.failure = e.what();
    notes << prefix << result.failure << '\n';
  }
  if (meter) meter->Finish();
  result.outcome = guard.lastOutcome();
  try {
    if (result.outcome) result.created = Created(*databases.internos, result.outcome->freeNumbers);
  } catch (const Failure& failure) {
    notes << prefix << "the internos made cannot be read back: " << failure.description() << '\n';
  }
  if (result.outcome && result.outcome->signal != 0) {
    if (result.outcome->kept) {
      notes << prefix
            << (control == nullptr || request.keepPartial
                    ? "interrupted; what the run wrote so far stays (--keep-partial)\n"
                    : "interrupted after the copy was committed: it stays\n");
    }
    result.status = 128 + result.outcome->signal;
  }
  result.log = form ? form->get_txtLOG() : "";
  result.copias = form ? form->get_txtCopias() : "";
  result.messages = platform->messages();
  result.pointer = platform->pointer();
  // The session holds the connections and the form; release them before the databases close.
  platform->SetQuietEnd({});
  SetMainFormFactory({});
  basGLOBAL::Reset();
  return result;
}

CopyResult RunCopyJob(const CopyJob& job, std::ostream* log, std::ostream* boxes,
                      std::ostream& notes) {
  const std::string prefix = "oquardelino " + job.request.command + ": ";
  const SessionDatabases databases =
      OpenChecked(job.internosUrl, job.ncmUrl,
                  {job.request.source, job.request.option != "todos", job.dateSql, true},
                  [&notes, prefix](const std::string& line) { notes << prefix << line << '\n'; });
  InstallInterruptHandlers();
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  return RunCopySession(databases, control, job.request, log, boxes, notes);
}

}  // namespace oq::careful
