#include "host/server_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "host/failure.h"

namespace oq {

namespace {

using nlohmann::json;

Failure FileFailure(const std::filesystem::path& file, const std::string& why) {
  return Failure(err::kPathFileAccess, "Path/File access error: " + file.string() + ": " + why);
}

std::string Folded(const std::string& text) {
  std::string folded = text;
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

// Closes the descriptor (and so drops any flock on it) when the scope ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting whether the kernel accepted the close.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

void WriteAll(const std::filesystem::path& file, int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw FileFailure(file, std::strerror(errno));
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

// The object stored under registry[section][key], or null when any level is missing or damaged.
const json* Entry(const json& registry, const char* section, const std::string& key) {
  const auto part = registry.find(section);
  if (part == registry.end() || !part->is_object()) return nullptr;
  const auto entry = part->find(key);
  if (entry == part->end() || !entry->is_object()) return nullptr;
  return &*entry;
}

std::string Text(const json& entry, const char* key) {
  const auto value = entry.find(key);
  return value != entry.end() && value->is_string() ? value->get<std::string>() : std::string();
}

json& Section(json& registry, const char* name) {
  json& section = registry[name];
  if (!section.is_object()) section = json::object();
  return section;
}

}  // namespace

std::string NormalizedId(const std::string& id) {
  std::string normalized = id;
  std::transform(normalized.begin(), normalized.end(), normalized.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return normalized;
}

ServerRegistry::ServerRegistry(std::filesystem::path file) : file_(std::move(file)) {}

ServerRegistry::ServerRegistry() : file_(DefaultPath()) {}

std::filesystem::path ServerRegistry::DefaultPath() {
  const auto variable = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (std::string chosen = variable("OQ_COMPONENT_REGISTRY"); !chosen.empty()) return chosen;
  std::filesystem::path config = variable("XDG_CONFIG_HOME");
  if (config.empty()) {
    const std::string home = variable("HOME");
    if (home.empty()) {
      throw Failure(err::kPathFileAccess,
                    "Path/File access error: no per-user configuration folder (HOME is not set)");
    }
    config = std::filesystem::path(home) / ".config";
  }
  return config / "oquardelino" / "components.json";
}

json ServerRegistry::Read() const {
  std::ifstream in(file_, std::ios::binary);
  if (!in) {
    std::error_code ignored;
    if (!std::filesystem::exists(file_, ignored)) return json::object();
    throw FileFailure(file_, "cannot be opened");
  }
  json registry = json::parse(in, nullptr, /*allow_exceptions=*/false);
  if (registry.is_discarded() || !registry.is_object()) {
    throw FileFailure(file_, "is not a component registry");
  }
  return registry;
}

void ServerRegistry::Update(const std::function<void(json&)>& change) {
  std::error_code error;
  if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), error);
  if (error) throw FileFailure(file_.parent_path(), error.message());

  // The lock lives on a file of its own: the registry file itself is replaced by each write, so a
  // lock on it would guard an inode that the next writer no longer opens.
  const std::string lockName = file_.string() + ".lock";
  FileDescriptor lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lock.get() < 0) throw FileFailure(lockName, std::strerror(errno));
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw FileFailure(lockName, std::strerror(errno));
  }

  json registry = Read();
  change(registry);

  // Only the lock holder writes the temporary file, so one fixed name is enough; the rename makes
  // the new contents appear whole or not at all.
  const std::string temporary = file_.string() + ".tmp";
  FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) throw FileFailure(temporary, std::strerror(errno));
  WriteAll(temporary, out.get(), registry.dump(2) + "\n");
  if (::fsync(out.get()) != 0 || !out.Close()) throw FileFailure(temporary, std::strerror(errno));
  if (::rename(temporary.c_str(), file_.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temporary.c_str());
    throw FileFailure(file_, why);
  }
}

void ServerRegistry::RegisterClass(const RegisteredClass& entry) {
  const std::string classId = NormalizedId(entry.classId);
  Update([&](json& registry) {
    Section(registry, "classes")[classId] = {{"name", entry.progId},
                                             {"threading", entry.threadingModel},
                                             {"library", entry.libraryPath},
                                             {"typelib", NormalizedId(entry.typeLibraryId)}};
    json& names = Section(registry, "names");
    const std::string folded = Folded(entry.progId);
    for (auto it = names.begin(); it != names.end();) {
      it = Folded(it.key()) == folded ? names.erase(it) : std::next(it);
    }
    names[entry.progId] = classId;
  });
}

void ServerRegistry::UnregisterClass(const std::string& classId) {
  const std::string id = NormalizedId(classId);
  Update([&](json& registry) {
    Section(registry, "classes").erase(id);
    json& names = Section(registry, "names");
    for (auto it = names.begin(); it != names.end();) {
      it = it->is_string() && NormalizedId(it->get<std::string>()) == id ? names.erase(it)
                                                                         : std::next(it);
    }
  });
}

void ServerRegistry::RegisterTypeLibrary(const RegisteredTypeLibrary& entry) {
  Update([&](json& registry) {
    Section(registry, "typelibs")[NormalizedId(entry.id)] = {
        {"name", entry.name}, {"version", entry.version}, {"path", entry.path}};
  });
}

void ServerRegistry::UnregisterTypeLibrary(const std::string& id) {
  Update([&](json& registry) { Section(registry, "typelibs").erase(NormalizedId(id)); });
}

std::optional<std::string> ServerRegistry::ClassIdOf(const std::string& progId) const {
  const json registry = Read();
  const auto names = registry.find("names");
  if (names == registry.end() || !names->is_object()) return std::nullopt;
  const std::string folded = Folded(progId);
  for (auto it = names->begin(); it != names->end(); ++it) {
    if (Folded(it.key()) == folded && it->is_string()) return NormalizedId(it->get<std::string>());
  }
  return std::nullopt;
}

std::optional<RegisteredClass> ServerRegistry::FindClass(const std::string& classId) const {
  const json registry = Read();
  const std::string id = NormalizedId(classId);
  const json* entry = Entry(registry, "classes", id);
  if (!entry) return std::nullopt;
  return RegisteredClass{id, Text(*entry, "name"), Text(*entry, "threading"),
                         Text(*entry, "library"), Text(*entry, "typelib")};
}

std::optional<RegisteredTypeLibrary> ServerRegistry::FindTypeLibrary(const std::string& id) const {
  const json registry = Read();
  const std::string normalized = NormalizedId(id);
  const json* entry = Entry(registry, "typelibs", normalized);
  if (!entry) return std::nullopt;
  return RegisteredTypeLibrary{normalized, Text(*entry, "name"), Text(*entry, "version"),
                               Text(*entry, "path")};
}

}  // namespace oq
