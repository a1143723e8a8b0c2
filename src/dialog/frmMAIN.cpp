#include "dialog/frmMAIN.h"

#include <algorithm>

#include "dialog/form_view.h"
#include "dialog/frmMAIN_layout.h"
#include "engine/copy_runs.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/failure.h"

namespace oq {

namespace {
constexpr int kMaxLengthWhenUnset = 40;
constexpr std::int32_t kInvalidProcedureCall = 5;
}  // namespace

CopyRuns CopyRuns::Engine() {
  return CopyRuns{&oq::lpCopiar, &oq::lpCopiar_ConLAPI, &oq::lpCopiar_sinLAPI};
}

// The controls report their changes here; they reach the view only while it shows the form, since
// a view builds its picture from the controls when it starts showing.
struct frmMAIN::Impl : ControlObserver {
  std::shared_ptr<PlatformPort> platform;
  std::shared_ptr<FormView> view;
  CopyRuns runs = CopyRuns::Engine();
  std::vector<std::unique_ptr<Control>> controls;  // front to back
  std::vector<OptionButton*> optionGroup;
  bool loaded = false;
  bool showing = false;
  Control* focus = nullptr;

  void ControlChanged(const Control& control) override {
    if (showing && view) view->ControlChanged(control);
  }

  template <typename T>
  T& Get(std::string_view name) const {
    for (const auto& control : controls) {
      if (control->name() == name) return dynamic_cast<T&>(*control);
    }
    throw err::runtime(err::kObjectNotSet);
  }

  void Build(frmMAIN& form) {
    controls.clear();
    optionGroup.clear();
    focus = nullptr;
    for (const ControlLayout& layout : layout::frmMAINControls()) {
      switch (layout.kind) {
        case ControlKind::kLabel:
          controls.push_back(std::make_unique<Label>(layout, this));
          break;
        case ControlKind::kTextBox:
          controls.push_back(std::make_unique<TextBox>(layout, this));
          break;
        case ControlKind::kOptionButton: {
          auto option = std::make_unique<OptionButton>(layout, this);
          option->JoinGroup(&optionGroup);
          optionGroup.push_back(option.get());
          controls.push_back(std::move(option));
          break;
        }
        case ControlKind::kShape:
          controls.push_back(std::make_unique<Shape>(layout, this));
          break;
        case ControlKind::kImage:
          controls.push_back(std::make_unique<Image>(layout, this));
          break;
      }
    }
    Get<OptionButton>("opTodos").OnClick([&form] { form.opTodos_Click(); });
    Get<OptionButton>("opLAPI").OnClick([&form] { form.opLAPI_Click(); });
    Get<OptionButton>("opSinLAPI").OnClick([&form] { form.opSinLAPI_Click(); });
    focus = &Get<TextBox>("txtLOG");
  }
};

frmMAIN::frmMAIN(std::shared_ptr<PlatformPort> platform, std::shared_ptr<FormView> view)
    : impl_(std::make_unique<Impl>()) {
  impl_->platform = std::move(platform);
  impl_->view = std::move(view);
}

frmMAIN::~frmMAIN() = default;

void frmMAIN::Load() {
  if (impl_->loaded) return;
  impl_->Build(*this);
  impl_->loaded = true;
  try {
    Form_Load();
  } catch (...) {
    impl_->loaded = false;
    throw;
  }
}

void frmMAIN::Unload() {
  if (!impl_->loaded) return;
  impl_->loaded = false;
  if (impl_->showing && impl_->view) impl_->view->EndModal();
}

bool frmMAIN::IsLoaded() const { return impl_->loaded; }
bool frmMAIN::IsShowing() const { return impl_->showing; }

void frmMAIN::ShowModal() {
  if (!impl_->view) {
    throw Failure(kInvalidProcedureCall,
                  "Invalid procedure call or argument: frmMAIN has no view to show it in");
  }
  Load();
  // A view that ends without an Unload (or fails) must not leave the form marked as showing.
  struct Showing {
    Impl& impl;
    explicit Showing(Impl& i) : impl(i) { impl.showing = true; }
    ~Showing() { impl.showing = false; }
  } showing(*impl_);
  impl_->view->RunModal(*this);
}

void frmMAIN::Form_Load() {
  const auto& state = basGLOBAL::State();
  version().setCaption("v  " + std::to_string(identity::kVersionMajor) + "." +
                       std::to_string(identity::kVersionMinor) + "." +
                       std::to_string(identity::kVersionRevision));
  lbInterno().setCaption(state.numeroInterno);
  Text1().setText(state.numeroInterno);
  // A negative length is handed over as it is; the box takes it as no limit.
  Text1().setMaxLength(state.maxLength != 0 ? state.maxLength : kMaxLengthWhenUnset);
}

void frmMAIN::Form_KeyDown(std::int16_t& KeyCode, std::int16_t /*Shift*/) {
  if (KeyCode == vbKeyF11) {
    // Three separate tests, each reading its option after the run before it has returned.
    if (opTodos().value()) lpCopiar();
    if (opLAPI().value()) lpCopiar_ConLAPI();
    if (opSinLAPI().value()) lpCopiar_sinLAPI();
  }
  if (KeyCode == vbKeyEscape) Unload();
}

void frmMAIN::opTodos_Click() { txtCopias().setEnabled(true); }
void frmMAIN::opLAPI_Click() { txtCopias().setEnabled(false); }
void frmMAIN::opSinLAPI_Click() { txtCopias().setEnabled(false); }

void frmMAIN::lpCopiar() {
  CopyContext ctx{*this, platform()};
  if (impl_->runs.todos) impl_->runs.todos(ctx);
}

void frmMAIN::lpCopiar_ConLAPI() {
  CopyContext ctx{*this, platform()};
  if (impl_->runs.conLAPI) impl_->runs.conLAPI(ctx);
}

void frmMAIN::lpCopiar_sinLAPI() {
  CopyContext ctx{*this, platform()};
  if (impl_->runs.sinLAPI) impl_->runs.sinLAPI(ctx);
}

void frmMAIN::SetCopyRuns(CopyRuns runs) { impl_->runs = std::move(runs); }

TextBox& frmMAIN::Text1() { return impl_->Get<TextBox>("Text1"); }
TextBox& frmMAIN::txtCopias() { return impl_->Get<TextBox>("txtCopias"); }
TextBox& frmMAIN::txtLOG() { return impl_->Get<TextBox>("txtLOG"); }
OptionButton& frmMAIN::opTodos() { return impl_->Get<OptionButton>("opTodos"); }
OptionButton& frmMAIN::opLAPI() { return impl_->Get<OptionButton>("opLAPI"); }
OptionButton& frmMAIN::opSinLAPI() { return impl_->Get<OptionButton>("opSinLAPI"); }
Label& frmMAIN::version() { return impl_->Get<Label>("version"); }
Label& frmMAIN::lbInterno() { return impl_->Get<Label>("lbInterno"); }

std::vector<Control*> frmMAIN::Controls() const {
  std::vector<Control*> all;
  for (const auto& control : impl_->controls) all.push_back(control.get());
  return all;
}

Control* frmMAIN::FindControl(std::string_view name) const {
  for (const auto& control : impl_->controls) {
    if (control->name() == name) return control.get();
  }
  return nullptr;
}

std::vector<Control*> frmMAIN::TabOrder() const {
  std::vector<Control*> order;
  for (const auto& control : impl_->controls) {
    if (control->CanFocus()) order.push_back(control.get());
  }
  std::ranges::sort(order, {}, [](const Control* c) { return c->layout().tabIndex; });
  return order;
}

Control* frmMAIN::ActiveControl() const { return impl_->focus; }
void frmMAIN::SetFocus(Control& control) { impl_->focus = &control; }

PlatformPort& frmMAIN::platform() const {
  if (!impl_->platform) throw err::runtime(err::kObjectNotSet);
  return *impl_->platform;
}

std::string frmMAIN::get_Text1() const { return impl_->Get<TextBox>("Text1").text(); }
std::string frmMAIN::get_txtCopias() const { return impl_->Get<TextBox>("txtCopias").text(); }
void frmMAIN::let_txtCopias(const std::string& text) {
  impl_->Get<TextBox>("txtCopias").setText(text);
}
std::string frmMAIN::get_txtLOG() const { return impl_->Get<TextBox>("txtLOG").text(); }
void frmMAIN::let_txtLOG(const std::string& text) { impl_->Get<TextBox>("txtLOG").setText(text); }

}  // namespace oq
