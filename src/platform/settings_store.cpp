#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "host/failure.h"

namespace oq {

namespace {

constexpr std::int32_t kPathFileAccessError = 75;

Failure AccessError(const std::filesystem::path& file, const std::string& what) {
  return Failure(kPathFileAccessError,
                 "Path/File access error (" + file.string() + ": " + what + ")");
}

std::string SystemError() { return std::strerror(errno); }

// Closes a descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The whole store as a JSON object of applications, sections and keys. A file that does not exist
// is an empty store.
nlohmann::json ReadStore(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && !ec) return nlohmann::json::object();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw AccessError(file, "cannot be read");
  std::stringstream content;
  content << in.rdbuf();
  if (content.str().empty()) return nlohmann::json::object();
  nlohmann::json store = nlohmann::json::parse(content.str(), nullptr, false);
  if (store.is_discarded() || !store.is_object()) throw AccessError(file, "not a settings file");
  return store;
}

void WriteAll(int fd, const std::string& text, const std::filesystem::path& file) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw AccessError(file, SystemError());
    done += static_cast<std::size_t>(n);
  }
}

// Replaces the file in one step: readers see the old store or the new one, never a part.
void ReplaceFile(const std::filesystem::path& file, const std::string& text) {
  std::string pattern = file.string() + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FileDescriptor temp(::mkstemp(name.data()));
  if (temp.get() < 0) throw AccessError(file, SystemError());
  try {
    WriteAll(temp.get(), text, file);
    if (::fsync(temp.get()) != 0) throw AccessError(file, SystemError());
    if (::rename(name.data(), file.c_str()) != 0) throw AccessError(file, SystemError());
  } catch (...) {
    ::unlink(name.data());
    throw;
  }
}

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

SettingsStore SettingsStore::ForCurrentUser() {
  std::filesystem::path base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;  // the convention ignores a relative value
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && home[0] != '\0' ? home : ".") / ".config";
  }
  return SettingsStore(base / "oquardelino" / "settings.json");
}

void SettingsStore::Save(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& value) const {
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);
  if (ec) throw AccessError(file_.parent_path(), ec.message());

  // Writers take turns on a lock file beside the store: the store itself is replaced by rename,
  // so a lock on it would not outlive one write.
  const std::filesystem::path lockPath = file_.string() + ".lock";
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) throw AccessError(lockPath, SystemError());
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw AccessError(lockPath, SystemError());
  }

  nlohmann::json store = ReadStore(file_);
  nlohmann::json& app = store[appName];
  if (!app.is_object()) app = nlohmann::json::object();
  nlohmann::json& sectionValues = app[section];
  if (!sectionValues.is_object()) sectionValues = nlohmann::json::object();
  sectionValues[key] = value;
  std::string text;
  try {
    text = store.dump(2);
  } catch (const nlohmann::json::exception& e) {
    // Keys and values are UTF-8 text; anything else cannot be filed.
    throw AccessError(file_, e.what());
  }
  ReplaceFile(file_, text + "\n");
}  // the lock goes with the descriptor

std::optional<std::string> SettingsStore::Get(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key) const {
  const nlohmann::json store = ReadStore(file_);
  auto app = store.find(appName);
  if (app == store.end() || !app->is_object()) return std::nullopt;
  auto sec = app->find(section);
  if (sec == app->end() || !sec->is_object()) return std::nullopt;
  auto value = sec->find(key);
  if (value == sec->end() || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

}  // namespace oq
