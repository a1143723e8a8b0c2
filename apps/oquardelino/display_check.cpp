#include "display_check.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace oq::app {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Connects to a unix socket; a leading '@' names one in the abstract namespace.
bool UnixSocketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  if (path.front() == '@') address.sun_path[0] = '\0';
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  ::close(fd);
  return ok;
}

bool TcpAnswers(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool ok = false;
  for (addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return ok;
}

// DISPLAY is [host]:number[.screen]; a local one listens on /tmp/.X11-unix/X<number>.
bool XServerAnswers(const std::string& display) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const int number = std::atoi(display.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    return UnixSocketAnswers(socket) || UnixSocketAnswers("@" + socket);
  }
  return TcpAnswers(host, 6000 + number);
}

bool WaylandAnswers(const std::string& display) {
  if (display.front() == '/') return UnixSocketAnswers(display);
  const std::string runtime = Variable("XDG_RUNTIME_DIR");
  return !runtime.empty() && UnixSocketAnswers(runtime + "/" + display);
}

}  // namespace

bool DisplayUsable(std::string& why) {
  const std::string platform = Variable("QT_QPA_PLATFORM");
  if (platform.starts_with("offscreen") || platform.starts_with("minimal")) {
    why = "QT_QPA_PLATFORM=" + platform + " draws no window";
    return false;
  }
  const bool xOnly = platform.starts_with("xcb"), waylandOnly = platform.starts_with("wayland");
  if (!platform.empty() && !xOnly && !waylandOnly) return true;  // a platform of its own
  const std::string x = Variable("DISPLAY"), wayland = Variable("WAYLAND_DISPLAY");
  if (!xOnly && !wayland.empty() && WaylandAnswers(wayland)) return true;
  if (!waylandOnly && !x.empty() && XServerAnswers(x)) return true;
  if (x.empty() && wayland.empty()) {
    why = "DISPLAY and WAYLAND_DISPLAY are not set";
  } else {
    why = "the display " + (x.empty() ? wayland : x) + " does not answer";
  }
  return false;
}

}  // namespace oq::app
