// oquardelino copy: a host that makes copies of an interno without a window. It opens the
// databases, hands them to cMAIN with the other session values, shows frmMAIN through a headless
// view that types the new number and the copies as a program sets them, picks the option and
// presses F11 then ESC, exactly as a user at the window would.
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "connection_url.h"
#include "console_platform.h"
#include "dialog/frmMAIN.h"
#include "dialog/headless_view.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "host/forms.h"
#include "main_session.h"

namespace oq::app {

namespace {

struct CopyOptions : SessionValues {
  std::string internos;
  std::string ncm;
  std::string newNumber;
  std::string copies = "1";
  std::string option = "todos";
  bool json = false;
};

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
    if (out_ != nullptr && lineOpen_) *out_ << '\n';
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

// Success: the run reached its end line, no message box reported a failure or a refusal and no
// copy was logged as failed or taken (lines that a later copy's log replaced included).
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

int RunCopy(const CopyOptions& options) {
  const std::string ncmUrl = options.ncm.empty() ? options.internos : options.ncm;
  SessionDatabases databases;
  try {
    OpenDatabases(databases, options.internos, ncmUrl);
    RegisterComponentsFor(options.internos, ncmUrl);
  } catch (const std::exception& e) {
    std::cerr << "oquardelino copy: cannot open the database "
              << (databases.internos ? ncmUrl : options.internos) << ": " << e.what() << '\n';
    return kExitUsage;
  }

  auto platform = std::make_shared<ConsolePlatform>(options.json ? nullptr : &std::cerr);
  auto view = std::make_shared<CommandView>(options.json ? nullptr : &std::cout);
  // On a terminal that shows both streams, a box must not land at the end of an open log line.
  // The break goes to the terminal only: standard output keeps the log exactly.
  if (::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1) {
    platform->SetBeforeMessage([view] {
      if (!view->lineOpen()) return;
      std::cout.flush();
      std::cerr << '\n';
      view->LineEndedOnTerminal();
    });
  }
  std::shared_ptr<frmMAIN> form;
  view->SetScript([&options](frmMAIN& shown) {
    shown.Text1().setText(options.newNumber);
    shown.txtCopias().setText(options.copies);
    SelectedOption(shown, options.option).setValue(true);
    HeadlessView::PressKey(shown, vbKeyF11);
    HeadlessView::PressKey(shown, vbKeyEscape);
  });
  SetMainFormFactory([platform, view, &form] {
    form = std::make_shared<frmMAIN>(platform, view);
    return form;
  });

  int status = kExitRunFailed;
  try {
    cMAIN main;
    HandSessionToMain(main, databases, options);
    main.Mostrar();
    view->Finish();
    status = RunSucceeded(form->get_txtLOG(), platform->messages(), view->logTexts())
                 ? kExitOk
                 : kExitRunFailed;
  } catch (const Failure& failure) {
    view->Finish();
    std::cerr << "oquardelino copy: " << failure.number() << " - " << failure.description() << " ("
              << failure.source() << ")\n";
  } catch (const std::exception& e) {
    // Not a failure of the component's own kind (a host object gone wrong): the run did not end.
    view->Finish();
    std::cerr << "oquardelino copy: " << e.what() << '\n';
  }

  if (options.json) {
    nlohmann::ordered_json out;
    out["log"] = form ? form->get_txtLOG() : "";
    out["copias"] = form ? form->get_txtCopias() : "";
    out["messages"] = nlohmann::ordered_json::array();
    for (const auto& box : platform->messages()) {
      out["messages"].push_back({{"style", box.style}, {"prompt", box.prompt}});
    }
    out["pointer"] = platform->pointer() ? nlohmann::ordered_json(*platform->pointer()) : nullptr;
    std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  }
  // The session holds the connections; close them before the program ends.
  basGLOBAL::Reset();
  return status;
}

}  // namespace

void AddCopyCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<CopyOptions>();
  CLI::App* command = app.add_subcommand(
      "copy",
      "Copy an interno (cover sheet, invoices, items) to a new number, as F11 in the dialog does");
  command->add_option("--internos", options->internos, "Database of internos, e.g. sqlite:PATH")
      ->required()
      ->type_name("URL");
  command->add_option("--ncm", options->ncm, "NCM database (default: the --internos URL)")
      ->type_name("URL");
  command->add_option("--source", options->source, "The interno to copy")
      ->required()
      ->type_name("NUMBER");
  command->add_option("--new", options->newNumber, "The new interno number (the box Text1)")
      ->required()
      ->type_name("TEXT");
  command
      ->add_option("--copies", options->copies,
                   "The box txtCopias as typed; above 1 makes copies NEW_1, NEW_2...")
      ->capture_default_str()
      ->type_name("TEXT");
  command
      ->add_option("--option", options->option,
                   "todos: all items; con-lapi / sin-lapi: one copy with only the items whose "
                   "tariff position carries / lacks the licence mark")
      ->check(CLI::IsMember({"todos", "con-lapi", "sin-lapi"}))
      ->capture_default_str();
  command
      ->add_option("--date", options->date,
                   "The date text, an SQL expression written into fecha and fechaalta "
                   "(default: today as 'YYYY-MM-DD')")
      ->type_name("SQL-EXPRESSION");
  command->add_option("--max-length", options->maxLength, "The session's pLenMaxInterno")
      ->type_name("N");
  command->add_flag("--json", options->json,
                    "Print one JSON object: log, copias, messages (style, prompt), pointer");
  command->callback([options, &exitStatus] { exitStatus = RunCopy(*options); });
}

}  // namespace oq::app
