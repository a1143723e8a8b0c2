#include "platform/win32/win32_form_view.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "dialog/frmMAIN.h"
#include "dialog/frmMAIN_layout.h"
#include "host/class_identity.h"
#include "host/failure.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_painting.h"
#include "platform/win32/win32_platform_port.h"

namespace oq::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"oQUARDELINO.frmMAIN";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::int16_t ShiftState() {
  std::int16_t shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= vbShiftMask;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= vbCtrlMask;
  if (::GetKeyState(VK_MENU) < 0) shift |= vbAltMask;
  return shift;
}

}  // namespace

struct Win32FormView::Window {
  frmMAIN& form;
  HWND hwnd = nullptr;
  std::map<HWND, Control*> controlOf;
  std::map<const Control*, HWND> windowOf;
  GdiObjects gdi;
  std::vector<HWND> disabled;  // the thread's windows this showing disabled
  bool looping = false;
  bool inKeyPreview = false;
  bool relaying = false;      // a change the user made is on its way to the form
  bool showingState = false;  // the form's state is on its way to a control
  std::exception_ptr failure;

  explicit Window(frmMAIN& f) : form(f) {}
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  ~Window() {
    if (hwnd != nullptr) ::DestroyWindow(hwnd);
  }

  static void RegisterClassOnce() {
    static const bool registered = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = &Window::Procedure;
      windowClass.hInstance = ThisModule();
      windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      windowClass.lpszClassName = kWindowClass;
      return ::RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
  }

  void Create() {
    RegisterClassOnce();
    const DWORD style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    const DWORD extended = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, Pixels(layout::kClientWidth), Pixels(layout::kClientHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, extended);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const std::wstring title = Wide(identity::kApplicationTitle);
    hwnd = ::CreateWindowExW(extended, kWindowClass, title.c_str(), style, left, top, width, height,
                             nullptr, nullptr, ThisModule(), this);
    if (hwnd == nullptr) throw Failure(err::kCannotCreateObject, "frmMAIN: no window");

    // Children in tab order: the window order is the order the focus moves in.
    std::vector<Control*> stops;
    for (Control* control : form.Controls()) {
      const ControlKind kind = control->kind();
      if (kind == ControlKind::kTextBox || kind == ControlKind::kOptionButton) {
        stops.push_back(control);
      }
    }
    std::ranges::sort(stops, {}, [](const Control* c) { return c->layout().tabIndex; });
    bool firstOption = true;
    for (Control* control : stops) {
      const ControlLayout& layout = control->layout();
      const RECT place = PixelRect(layout);
      DWORD childStyle = WS_CHILD | WS_VISIBLE;
      DWORD childExtended = 0;
      const wchar_t* childClass = L"EDIT";
      if (control->kind() == ControlKind::kTextBox) {
        childStyle |= WS_TABSTOP | ES_AUTOHSCROLL;
        childExtended = WS_EX_CLIENTEDGE;
        if (layout.multiLine) childStyle |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        if (layout.verticalScrollBar) childStyle |= WS_VSCROLL;
      } else {
        childClass = L"BUTTON";
        childStyle |= BS_AUTORADIOBUTTON;
        if (firstOption) childStyle |= WS_GROUP | WS_TABSTOP;
        firstOption = false;
      }
      HWND child = ::CreateWindowExW(childExtended, childClass, L"", childStyle, place.left,
                                     place.top, place.right - place.left, place.bottom - place.top,
                                     hwnd, nullptr, ThisModule(), nullptr);
      ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.Font(layout.font)), FALSE);
      controlOf[child] = control;
      windowOf[control] = child;
      ShowState(*control);
    }
  }

  void ShowState(const Control& control) {
    auto found = windowOf.find(&control);
    if (found == windowOf.end()) {
      // A painted control: its area is drawn again.
      RECT place = PixelRect(control.layout());
      ::InvalidateRect(hwnd, &place, TRUE);
      return;
    }
    HWND child = found->second;
    showingState = true;
    if (control.kind() == ControlKind::kTextBox) {
      const auto& box = static_cast<const TextBox&>(control);
      // A box the user is editing already shows its text.
      if (!relaying) ::SetWindowTextW(child, Wide(box.text()).c_str());
      const int limit = box.maxLength() > 0 ? box.maxLength() : 0;
      ::SendMessageW(child, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
    } else {
      const auto& option = static_cast<const OptionButton&>(control);
      ::SetWindowTextW(child, Wide(option.caption()).c_str());
      ::SendMessageW(child, BM_SETCHECK, option.value() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ::EnableWindow(child, control.enabled() ? TRUE : FALSE);
    showingState = false;
  }

  // The form's key preview: the form sees the key before the focused control, which still gets it.
  void PreviewKey(const MSG& message) {
    if (inKeyPreview || !form.IsLoaded()) return;
    auto keyCode = static_cast<std::int16_t>(message.wParam);
    inKeyPreview = true;
    try {
      form.Form_KeyDown(keyCode, ShiftState());
    } catch (...) {
      // Nothing may be thrown through the message loop: the failure ends the showing and goes to
      // the caller of the modal loop.
      failure = std::current_exception();
      form.Unload();
    }
    inKeyPreview = false;
  }

  // To the next (or previous) control in tab order; into the option group at its selected option.
  void MoveFocus(bool backwards) {
    HWND next = ::GetNextDlgTabItem(hwnd, ::GetFocus(), backwards ? TRUE : FALSE);
    if (next == nullptr) return;
    if (auto found = controlOf.find(next);
        found != controlOf.end() && found->second->kind() == ControlKind::kOptionButton) {
      for (const auto& [child, control] : controlOf) {
        if (control->kind() == ControlKind::kOptionButton &&
            static_cast<const OptionButton*>(control)->value()) {
          next = child;
        }
      }
    }
    ::SetFocus(next);
  }

  void FocusActiveControl() {
    if (Control* active = form.ActiveControl()) {
      if (auto found = windowOf.find(active); found != windowOf.end()) ::SetFocus(found->second);
    }
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        RECT client;
        ::GetClientRect(hwnd, &client);
        PaintForm(dc, client, form, gdi);
        ::EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_CTLCOLORSTATIC: {
        auto found = controlOf.find(reinterpret_cast<HWND>(lParam));
        if (found != controlOf.end() && found->second->kind() == ControlKind::kOptionButton) {
          const COLORREF back = ToColorRef(found->second->layout().back);
          HDC dc = reinterpret_cast<HDC>(wParam);
          ::SetBkColor(dc, back);
          ::SetTextColor(dc, ToColorRef(found->second->layout().fore));
          return reinterpret_cast<LRESULT>(gdi.Brush(back));
        }
        break;
      }
      case WM_COMMAND: {
        auto found = controlOf.find(reinterpret_cast<HWND>(lParam));
        if (found == controlOf.end() || showingState) return 0;
        Control& control = *found->second;
        const UINT code = HIWORD(wParam);
        if (code == EN_SETFOCUS || code == BN_SETFOCUS) form.SetFocus(control);
        if (code == EN_CHANGE) {
          const int length = ::GetWindowTextLengthW(found->first);
          std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
          ::GetWindowTextW(found->first, text.data(), length + 1);
          text.resize(static_cast<std::size_t>(length));
          relaying = true;
          static_cast<TextBox&>(control).setText(Narrow(text));
          relaying = false;
        }
        if (code == BN_CLICKED && ::SendMessageW(found->first, BM_GETCHECK, 0, 0) == BST_CHECKED) {
          // Selecting by mouse or keyboard selects the form's option, which runs its click.
          static_cast<OptionButton&>(control).setValue(true);
        }
        return 0;
      }
      case WM_SETCURSOR:
        if (HCURSOR cursor = ScreenCursor()) {
          ::SetCursor(cursor);
          return TRUE;
        }
        break;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FocusActiveControl();
        return 0;
      case WM_CLOSE:
        return 0;  // the form closes only by its own Unload
      default:
        break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd == nullptr) {
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
  }

  static BOOL CALLBACK DisableOne(HWND other, LPARAM self) {
    auto* window = reinterpret_cast<Window*>(self);
    if (other != window->hwnd && ::IsWindowVisible(other) && ::IsWindowEnabled(other)) {
      ::EnableWindow(other, FALSE);
      window->disabled.push_back(other);
    }
    return TRUE;
  }

  void DisableThreadWindows() {
    ::EnumThreadWindows(::GetCurrentThreadId(), &Window::DisableOne,
                        reinterpret_cast<LPARAM>(this));
  }

  void EnableThreadWindows() {
    for (HWND other : disabled) {
      if (::IsWindow(other)) ::EnableWindow(other, TRUE);
    }
    disabled.clear();
  }

  void Loop() {
    looping = true;
    while (looping && form.IsLoaded()) {
      MSG message;
      const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
      if (got <= 0) {
        // The host's application is quitting: the quit goes on to its own loop.
        if (got == 0) ::PostQuitMessage(static_cast<int>(message.wParam));
        form.Unload();
        break;
      }
      const bool ours = message.hwnd == hwnd || ::IsChild(hwnd, message.hwnd);
      if (ours && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN)) {
        PreviewKey(message);
      }
      if (ours && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        continue;  // ESC has been handled by the key preview; the window must not close itself
      }
      if (ours && message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        // The log box is multi-line and would keep the tab; the form moves the focus instead.
        MoveFocus(::GetKeyState(VK_SHIFT) < 0);
        continue;
      }
      if (!::IsDialogMessageW(hwnd, &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
    looping = false;
  }
};

Win32FormView::Win32FormView() = default;
Win32FormView::~Win32FormView() = default;

HWND Win32FormView::window() const { return window_ ? window_->hwnd : nullptr; }

void Win32FormView::RunModal(frmMAIN& form) {
  window_ = std::make_unique<Window>(form);
  window_->Create();
  window_->DisableThreadWindows();
  ::ShowWindow(window_->hwnd, SW_SHOW);
  ::SetForegroundWindow(window_->hwnd);
  ::SetActiveWindow(window_->hwnd);
  window_->FocusActiveControl();
  window_->Loop();
  window_->EnableThreadWindows();
  std::exception_ptr failure = std::exchange(window_->failure, nullptr);
  window_.reset();
  if (failure) std::rethrow_exception(failure);
}

void Win32FormView::EndModal() {
  if (!window_ || !window_->looping) return;
  window_->looping = false;
  ::PostMessageW(window_->hwnd, WM_NULL, 0, 0);
}

void Win32FormView::ControlChanged(const Control& control) {
  if (!window_ || window_->hwnd == nullptr) return;
  window_->ShowState(control);
  // While a run works the loop does not turn: paint the change now, input stays queued.
  if (window_->inKeyPreview) {
    ::RedrawWindow(window_->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

}  // namespace oq::win32
