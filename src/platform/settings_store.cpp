#include "platform/settings_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>
#include <utility>

#include "host/failure.h"
#include "platform/settings_database.h"

namespace oq {

namespace {

constexpr std::int32_t kPathFileAccessError = 75;

constexpr const char* kSchema =
    "create table if not exists settings (app text not null, section text not null, "
    "key text not null, value text not null, primary key (app, section, key)) without rowid";
constexpr const char* kUpsert =
    "insert into settings (app, section, key, value) values (?, ?, ?, ?) "
    "on conflict (app, section, key) do update set value = excluded.value";
// Names are found whatever their case (in ASCII), as in the registry these values mirror; a value
// written under a name in another case replaces the stored one and keeps its name.
constexpr const char* kUpdate =
    "update settings set value = ?4 where app = ?1 collate nocase and section = ?2 collate nocase "
    "and key = ?3 collate nocase returning 1";
constexpr const char* kSelect =
    "select value from settings where app = ?1 collate nocase and section = ?2 collate nocase "
    "and key = ?3 collate nocase order by app = ?1 and section = ?2 and key = ?3 desc limit 1";
constexpr const char* kDelete =
    "delete from settings where app = ?1 collate nocase and section = ?2 collate nocase and "
    "key = ?3 collate nocase";
constexpr const char* kPendingSchema =
    "create table if not exists pending (id text primary key, database text not null, "
    "owner text not null, content text not null, staged integer not null)";
constexpr const char* kPendingUpsert =
    "insert or replace into pending (id, database, owner, content, staged) "
    "values (?, ?, ?, ?, (select coalesce(max(staged), 0) + 1 from pending))";
constexpr const char* kPendingDelete = "delete from pending where id = ?";
// The history: one row per run that was recorded (`origin` is the pending record it came from,
// so completing a record twice records its run once), one row per number the run made.
constexpr const char* kHistorySchema =
    "create table if not exists history (run integer primary key, origin text unique not null, "
    "database text not null, recorded integer not null, content text not null)";
constexpr const char* kHistoryInternosSchema =
    "create table if not exists history_internos (run integer not null, interno text not null, "
    "position integer not null, undone integer not null default 0, primary key (run, interno))";

Failure AccessError(const std::filesystem::path& file, const std::string& what) {
  return Failure(kPathFileAccessError,
                 "Path/File access error (" + file.string() + ": " + what + ")");
}

bool IsDamage(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

std::filesystem::path WithSuffix(const std::filesystem::path& file, const std::string& suffix) {
  return file.string() + suffix;
}

std::string UtcStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

bool Exists(const std::filesystem::path& file) {
  std::error_code ignored;
  return std::filesystem::symlink_status(file, ignored).type() !=
         std::filesystem::file_type::not_found;
}

// A store file held under SQLite's exclusive lock, taken through SQLite's own file layer as a
// write would take it, so that no program reads or writes it meanwhile; the file is reached only
// through that layer (closing any other descriptor of it would drop this process's locks on it).
class ExclusiveFile {
 public:
  // Opens `file` (false: it cannot be opened for writing) and takes the lock, waiting at most
  // `wait` for the programs that read or write it (false for `locked`: they did not finish).
  ExclusiveFile(const std::filesystem::path& file, std::chrono::milliseconds wait) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK ||
        sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file_) != SQLITE_OK ||
        file_ == nullptr || file_->pMethods == nullptr) {
      file_ = nullptr;
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const auto waiting = [&deadline] {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return true;
    };
    // As SQLite's writers do: never wait for the write lock while reading, since the writer
    // holding it would wait for this reader to finish before it commits.
    const sqlite3_io_methods& methods = *file_->pMethods;
    while (methods.xLock(file_, SQLITE_LOCK_SHARED) != SQLITE_OK ||
           methods.xLock(file_, SQLITE_LOCK_RESERVED) != SQLITE_OK) {
      methods.xUnlock(file_, SQLITE_LOCK_NONE);
      if (!waiting()) return;
    }
    // Holding the write lock, wait for the readers to finish, as a commit does.
    int taken = SQLITE_BUSY;
    while ((taken = methods.xLock(file_, SQLITE_LOCK_EXCLUSIVE)) == SQLITE_BUSY && waiting()) {
    }
    locked_ = taken == SQLITE_OK;
  }
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;
  ~ExclusiveFile() {
    if (file_ != nullptr) file_->pMethods->xUnlock(file_, SQLITE_LOCK_NONE);
  }

  bool opened() const { return file_ != nullptr; }
  bool locked() const { return locked_; }

  // Writes the file's bytes to the new file `copy`, on disk before this returns.
  bool CopyTo(const std::filesystem::path& copy) const {
    sqlite3_int64 size = 0;
    if (file_->pMethods->xFileSize(file_, &size) != SQLITE_OK) return false;
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return false;
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    for (sqlite3_int64 at = 0; ok && at < size;) {
      const int n = static_cast<int>(std::min<sqlite3_int64>(size - at, buffer.size()));
      ok = file_->pMethods->xRead(file_, buffer.data(), n, at) == SQLITE_OK &&
           ::write(out, buffer.data(), static_cast<std::size_t>(n)) == n;
      at += n;
    }
    ok = ::fsync(out) == 0 && ok;
    return ::close(out) == 0 && ok;
  }
  // Leaves the file empty (an empty database), on disk before this returns.
  bool Empty() const {
    return file_->pMethods->xTruncate(file_, 0) == SQLITE_OK &&
           file_->pMethods->xSync(file_, SQLITE_SYNC_NORMAL) == SQLITE_OK;
  }

 private:
  SqliteHandle db_;               // closed after the lock is dropped
  sqlite3_file* file_ = nullptr;  // null: not opened
  bool locked_ = false;
};

// An exclusive lock on a folder for the object's life, waited for at most `wait`; without it
// (timed out, or the folder cannot be opened) the caller goes on all the same.
class FolderLock {
 public:
  FolderLock(const std::filesystem::path& folder, std::chrono::milliseconds wait)
      : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  int fd_;
};

}  // namespace

// Whether the path still names the file an attempt found damaged, and whether anything has
// written to it since.
struct SettingsStore::FileState {
  dev_t device;
  ino_t inode;
  off_t size;
  std::int64_t modified;  // nanoseconds
  std::int64_t changed;
  bool SameFile(const FileState& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator==(const FileState&) const = default;
};

std::optional<SettingsStore::FileState> SettingsStore::StateOf(const std::filesystem::path& file) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) return std::nullopt;
  const auto nanoseconds = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  return FileState{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
                   nanoseconds(info.st_ctim)};
}

SettingsStore::SettingsStore(std::filesystem::path file, SettingsStoreOptions options)
    : file_(std::move(file)), options_(std::move(options)) {}

SettingsStore SettingsStore::ForCurrentUser() {
  std::filesystem::path base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;  // the convention ignores a relative value
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && home[0] != '\0' ? home : ".") / ".config";
  }
  return SettingsStore(base / "oquardelino" / "settings.db");
}

void SettingsStore::Save(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& value) const {
  Transaction([&](Database& db) {
    if (!db.Run(kUpdate, {appName, section, key, value})) {
      db.Run(kUpsert, {appName, section, key, value});
    }
  });
}

std::optional<std::string> SettingsStore::Get(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key) const {
  if (!HasAnything()) return std::nullopt;
  std::optional<std::string> value;
  Transaction([&](Database& db) { value = db.Run(kSelect, {appName, section, key}); });
  return value;
}

void SettingsStore::Remove(const std::string& appName, const std::string& section,
                           const std::string& key) const {
  if (!HasAnything()) return;
  Transaction([&](Database& db) { db.Run(kDelete, {appName, section, key}); });
}

void SettingsStore::StagePending(const PendingRecord& record,
                                 const std::vector<StoredValue>& removed) const {
  Transaction([&](Database& db) {
    db.Run(kPendingUpsert, {record.id, record.database, record.owner, record.content});
    Database::Statement remove = db.Prepare(kDelete);
    for (const StoredValue& v : removed) remove.Run({v.app, v.section, v.key});
  });
}

std::vector<PendingRecord> SettingsStore::Pending(const std::string& database) const {
  std::vector<PendingRecord> records;
  if (!HasAnything()) return records;
  Transaction([&](Database& db) {
    db.Prepare("select id, owner, content from pending where database = ? order by staged")
        .Each({database}, 3, [&](std::vector<std::string>& row) {
          records.push_back({row[0], database, row[1], row[2]});
        });
  });
  return records;
}

void SettingsStore::CompletePending(const std::string& id,
                                    const std::vector<StoredValue>& values) const {
  CompletePending(id, Completion{values, {}, {}, {}});
}

void SettingsStore::CompletePending(const std::string& id, const Completion& completion) const {
  Transaction([&](Database& db) {
    Database::Statement upsert = db.Prepare(kUpsert);
    for (const StoredValue& v : completion.values) upsert.Run({v.app, v.section, v.key, v.value});
    Database::Statement remove = db.Prepare(kDelete);
    for (const StoredValue& v : completion.removed) remove.Run({v.app, v.section, v.key});
    if (completion.added) AddHistory(db, id, *completion.added);
    Database::Statement undo = db.Prepare(
        "update history_internos set undone = cast(strftime('%s', 'now') as integer) "
        "where run = ? and interno = ? and undone = 0");
    for (const auto& [run, number] : completion.undone) undo.Run({run, number});
    db.Run(kPendingDelete, {id});
  });
}

bool SettingsStore::HasAnything() const {
  return Exists(file_) || Exists(file_.parent_path() / "settings.json");
}

void SettingsStore::Transaction(const std::function<void(Database&)>& work) const {
  std::error_code error;
  if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), error);
  if (error) throw AccessError(file_.parent_path(), error.message());

  int vanished = 0;
  for (bool retried = false;;) {
    std::optional<FileState> seen = StateOf(file_);  // the file this attempt opens, as it was
    try {
      if (std::filesystem::is_directory(file_, error)) {
        throw DatabaseError{SQLITE_NOTADB, "a folder is in its place"};
      }
      if (!Exists(file_)) {
        // SQLite would create the file readable by all; the marks are the user's own. (An empty
        // file is an empty database. Only a missing file is opened here: closing a descriptor of
        // a file drops every lock this process holds on it, SQLite's included.)
        const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        seen = StateOf(file_);
      }
      Database db(file_, options_.lockWait);
      // Taking the write lock first means the wait for another writer happens here, bounded by
      // the busy timeout, and never as a deadlock between two readers that both want to write.
      db.Run("begin immediate", {});
      const std::optional<std::string> version = db.Run("pragma user_version", {});
      if (version == "0") {
        db.Run(kSchema, {});
        Import(db);
      }
      if (version != "3") {
        db.Run(kPendingSchema, {});
        db.Run(kHistorySchema, {});
        db.Run(kHistoryInternosSchema, {});
        db.Run("pragma user_version = 3", {});
      }
      work(db);
      db.Run("commit", {});
      return;
    } catch (const DatabaseError& e) {
      // Another program set a damaged store aside while this attempt was opening or using it:
      // whatever SQLite made of the file moving away (it cannot open it, or finds it moved and read
      // only), start again on the store made afresh, as the user's own.
      // (The open never creates the file.)
      const std::optional<FileState> now = StateOf(file_);
      const bool moved = !now || !seen || !now->SameFile(*seen);
      if (moved && ++vanished < 10) continue;
      if (e.code == SQLITE_BUSY || e.code == SQLITE_LOCKED) {
        throw AccessError(file_, "locked by another program; gave up after " +
                                     std::to_string(options_.lockWait.count()) + " ms");
      }
      if (!IsDamage(e.code) || retried || !seen) throw AccessError(file_, e.message);
      // Two programs may find the same damaged store at once: the first sets it aside, and the
      // other must neither fail nor set aside the new store begun meanwhile.
      const FolderLock lock(file_.parent_path(), options_.lockWait);
      if (std::filesystem::is_directory(file_, error)) {
        if (StateOf(file_) == seen) SetAside(file_, e.message);
      } else {
        ResetDamaged(*seen, e.message);
      }
      retried = true;
    }
  }
}

void SettingsStore::Import(Database& db) const {
  const std::filesystem::path legacy = file_.parent_path() / "settings.json";
  if (legacy == file_ || !Exists(legacy)) return;
  std::error_code error;
  nlohmann::json stored;  // null: unreadable
  if (!std::filesystem::is_directory(legacy, error)) {
    std::ifstream in(legacy, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    if (in)
      stored =
          text.empty() ? nlohmann::json::object() : nlohmann::json::parse(text, nullptr, false);
  }
  if (!stored.is_object()) {
    SetAside(legacy, "not a settings file");
    return;
  }
  Database::Statement insert = db.Prepare(kUpsert);
  for (const auto& [app, sections] : stored.items()) {
    if (!sections.is_object()) continue;
    for (const auto& [section, values] : sections.items()) {
      if (!values.is_object()) continue;
      for (const auto& [key, value] : values.items()) {
        if (value.is_string()) insert.Run({app, section, key, value.get_ref<const std::string&>()});
      }
    }
  }
}

void SettingsStore::ResetDamaged(const FileState& seen, const std::string& why) const {
  // The store is emptied where it is rather than renamed: a program that opened it before, and
  // reads it only now, must find the new store in the same file. Beside a renamed file it would
  // take the new store's journal, a path, for its own, roll it back into the old file and delete
  // it under the program writing the new store.
  const ExclusiveFile locked(file_, options_.lockWait);
  if (!locked.opened()) {
    SetAside(file_, why);  // one this user may not write: it is renamed, as anything else
    return;
  }
  if (!locked.locked()) {
    throw AccessError(file_, "damaged (" + why + ") and in use by another program");
  }
  // Another program may have emptied it already, and written to the new store since.
  if (StateOf(file_) != seen) return;
  const std::filesystem::path aside = AsideName(file_);
  if (!locked.CopyTo(aside)) {
    throw AccessError(file_, "damaged (" + why + ") and cannot be copied to " + aside.string());
  }
  // A journal left by an interrupted write belongs to the damaged content: SQLite would play it
  // back into the new store. No program is writing (the lock says so), so none is live.
  std::error_code error;
  std::filesystem::rename(WithSuffix(file_, "-journal"), WithSuffix(aside, "-journal"), error);
  if (!locked.Empty()) {
    throw AccessError(file_, "damaged (" + why + ") and cannot be emptied");
  }
  std::filesystem::permissions(
      file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
  WarnSetAside(file_, aside, why);
}

void SettingsStore::SetAside(const std::filesystem::path& damaged, const std::string& why) const {
  const std::filesystem::path aside = AsideName(damaged);
  std::error_code error;
  std::filesystem::rename(damaged, aside, error);
  if (error) {
    throw AccessError(damaged, "damaged (" + why + ") and cannot be set aside: " + error.message());
  }
  std::filesystem::rename(WithSuffix(damaged, "-journal"), WithSuffix(aside, "-journal"), error);
  WarnSetAside(damaged, aside, why);
}

std::filesystem::path SettingsStore::AsideName(const std::filesystem::path& damaged) {
  const std::string stamp = ".damaged-" + UtcStamp();
  std::filesystem::path aside = WithSuffix(damaged, stamp);
  for (int n = 2; Exists(aside); ++n) aside = WithSuffix(damaged, stamp + "-" + std::to_string(n));
  return aside;
}

void SettingsStore::WarnSetAside(const std::filesystem::path& damaged,
                                 const std::filesystem::path& aside, const std::string& why) const {
  const std::string warning = "oquardelino: " + damaged.string() + " was damaged (" + why +
                              "); it is kept as " + aside.string() +
                              ", and the settings store goes on without it";
  if (options_.warn) {
    options_.warn(warning);
  } else {
    std::cerr << warning << '\n';
  }
}

}  // namespace oq
