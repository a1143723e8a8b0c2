#include "host/locked_json_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

namespace oq {

namespace {

std::string SystemError() { return std::strerror(errno); }

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

}  // namespace

LockedJsonFile::LockedJsonFile(std::filesystem::path file, JsonFileRules rules)
    : file_(std::move(file)), rules_(std::move(rules)) {}

nlohmann::json LockedJsonFile::Read() const {
  std::ifstream in(file_, std::ios::binary);
  if (!in) {
    std::error_code ignored;
    if (!std::filesystem::exists(file_, ignored)) return nlohmann::json::object();
    throw rules_.failure(file_, rules_.unreadable);
  }
  const std::string content{std::istreambuf_iterator<char>(in), {}};
  if (content.empty() && rules_.emptyIsObject) return nlohmann::json::object();
  nlohmann::json stored = nlohmann::json::parse(content, nullptr, /*allow_exceptions=*/false);
  if (stored.is_discarded() || !stored.is_object()) throw rules_.failure(file_, rules_.damaged);
  return stored;
}

void LockedJsonFile::Update(const std::function<void(nlohmann::json&)>& change) const {
  std::error_code error;
  if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), error);
  if (error) throw rules_.failure(file_.parent_path(), error.message());

  // The lock lives on a file of its own: the data file is replaced by each write, so a lock on it
  // would guard an inode that the next writer no longer opens.
  const std::filesystem::path lockName = file_.string() + ".lock";
  FileDescriptor lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, rules_.mode));
  if (lock.get() < 0) throw rules_.failure(lockName, SystemError());
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw rules_.failure(lockName, SystemError());
  }

  nlohmann::json stored = Read();
  change(stored);
  std::string text;
  try {
    text = stored.dump(2) + "\n";
  } catch (const nlohmann::json::exception& e) {
    // Keys and values are UTF-8 text; anything else cannot be filed.
    throw rules_.failure(file_, e.what());
  }

  // The rename makes the new contents appear whole or not at all.
  std::string pattern = file_.string() + ".XXXXXX";
  std::vector<char> temporary(pattern.begin(), pattern.end());
  temporary.push_back('\0');
  FileDescriptor out(::mkstemp(temporary.data()));
  if (out.get() < 0) throw rules_.failure(file_, SystemError());
  try {
    if (::fchmod(out.get(), rules_.mode) != 0) throw rules_.failure(file_, SystemError());
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(out.get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw rules_.failure(file_, SystemError());
      done += static_cast<std::size_t>(n);
    }
    if (::fsync(out.get()) != 0 || !out.Close()) throw rules_.failure(file_, SystemError());
    if (::rename(temporary.data(), file_.c_str()) != 0) throw rules_.failure(file_, SystemError());
  } catch (...) {
    ::unlink(temporary.data());
    throw;
  }
}  // the lock goes with its descriptor

}  // namespace oq
