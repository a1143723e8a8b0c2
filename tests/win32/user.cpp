#include "user.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/win32/wide_text.h"

namespace oq::wintest {

namespace {

template <typename Found>
HWND Poll(double seconds, Found find) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    if (HWND window = find(); window != nullptr && ::IsWindowVisible(window)) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return nullptr;
}

std::string WindowText(HWND window) {
  wchar_t text[4096] = {};
  const int length = ::GetWindowTextW(window, text, 4096);
  return win32::Narrow(text, static_cast<std::size_t>(length));
}

// The first child of `parent` of window class `className` whose style has all of `style`, with
// the text it holds.
std::string ChildText(HWND parent, const wchar_t* className, LONG style) {
  struct Search {
    const wchar_t* className;
    LONG style;
    std::string text;
  } search{className, style, {}};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        const LONG childStyle = ::GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(name, s->className) != 0 || (childStyle & s->style) != s->style) return TRUE;
        s->text = WindowText(child);
        return s->text.empty();  // a message box's icon is a static without text
      },
      reinterpret_cast<LPARAM>(&search));
  return search.text;
}

}  // namespace

bool User::WaitForForm(double seconds) {
  return Poll(seconds, [] { return ::FindWindowW(L"oQUARDELINO.frmMAIN", nullptr); }) != nullptr;
}

void User::Xdotool(const std::string& arguments) {
  // With no window manager the X focus may stay on no window once a message box has gone, so
  // the keys go to the window in front, named by the X window Wine drew it in: the box when one
  // is up, else the form.
  HWND front = ::FindWindowW(L"#32770", L"oQUARDELINO");
  if (front == nullptr || !::IsWindowVisible(front)) {
    front = ::FindWindowW(L"oQUARDELINO.frmMAIN", nullptr);
  }
  const auto xid = reinterpret_cast<std::uintptr_t>(::GetPropW(front, L"__wine_x11_whole_window"));
  const std::string focus = xid != 0 ? "windowfocus --sync " + std::to_string(xid) + " " : "";
  // Wine starts a Unix program given by its path on the Z: drive.
  std::wstring command = L"Z:\\usr\\bin\\xdotool " + win32::Wide(focus + arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return;
  }
  ::WaitForSingleObject(process.hProcess, 10000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the keys reach the window
}

std::string User::AcknowledgeBox(double seconds) {
  HWND box = Poll(seconds, [] { return ::FindWindowW(L"#32770", L"oQUARDELINO"); });
  if (box == nullptr) return {};
  const std::string text = ChildText(box, L"Static", 0);
  Xdotool("key Return");
  for (int i = 0; i < 100 && ::IsWindow(box); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return text;
}

std::string User::LogText() {
  HWND form = ::FindWindowW(L"oQUARDELINO.frmMAIN", nullptr);
  return form == nullptr ? std::string() : ChildText(form, L"Edit", ES_MULTILINE);
}

}  // namespace oq::wintest
