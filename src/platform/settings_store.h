#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace oq {

// How a settings store waits and where it reports what it repaired.
struct SettingsStoreOptions {
  // The longest a call waits for a lock that another program holds on the store.
  std::chrono::milliseconds lockWait{3000};
  // Receives one line for every damaged file set aside; null writes it to standard error.
  std::function<void(const std::string& warning)> warn;
};

// The per-user application settings store: values filed under an application, a section and a
// key, kept in one SQLite database file. Any text round-trips as a key or value (interno numbers
// may hold '=', ';', brackets, quotes, blanks, accents).
//
// Every call is one transaction of its own: a write happens whole or not at all, two programs
// writing at once lose nothing, and what a write costs does not depend on how many values the
// store holds. A call waits at most `lockWait` for a lock held elsewhere, then fails.
//
// A damaged store (not a database, cut short, a folder in its place) is never lost and never stops
// a call: it is kept as "<file>.damaged-<UTC time>" (with its journal, if any), one warning names
// both paths, and the call goes on with a new, empty store. A damaged file is copied there and
// emptied where it is, under SQLite's exclusive lock, so that a program that had it open goes on
// with the new store in the same file; a folder is renamed.
//
// The call that creates the store first imports, in the same transaction, every text value of
// "settings.json" beside it (the form in which earlier versions kept the store), and so does it
// once; that file is left as it was, unless it is damaged, in which case it is set aside as above.
//
// The store also keeps records of work in progress (pending records): a program that is about to
// commit something the settings must follow stages a record first, and completes it (writing the
// values it decided on and deleting the record in one transaction) once the commit is known. A
// record left behind by a program that was killed is found and completed by the next one.
//
// Every failure is a Failure number 75 whose description names the file concerned. A store object
// holds no open file between calls; copies of it are independent and may be used from any thread.

// One value of the store.
struct StoredValue {
  std::string app, section, key, value;
};

// A record of work in progress: who staged it (`owner`, which tells whether that program still
// runs), for which database, and what it holds (a text of the owner's own format).
struct PendingRecord {
  std::string id, database, owner, content;
};

// A run in the history: its number (given by the store), its database, when it was recorded (Unix
// seconds), what it holds (the owner's format), and each number it made with when that was undone
// (0 while it stands).
struct HistoryEntry {
  std::string run, database, content;
  std::int64_t recorded = 0;
  std::vector<std::pair<std::string, std::int64_t>> numbers;
};

// What completing a pending record does besides deleting it, all in the same transaction.
struct Completion {
  std::vector<StoredValue> values;    // written
  std::vector<StoredValue> removed;   // deleted (their values are not read)
  std::optional<HistoryEntry> added;  // recorded as a new run (its run and time are the store's)
  std::vector<std::pair<std::string, std::string>> undone;  // (run, number) now undone
};

class SettingsStore {
 public:
  // A store kept in `file`.
  explicit SettingsStore(std::filesystem::path file, SettingsStoreOptions options = {});
  // The user's store, in the platform's per-user configuration folder
  // ($XDG_CONFIG_HOME, or ~/.config, then oquardelino/settings.db).
  static SettingsStore ForCurrentUser();

  const std::filesystem::path& file() const { return file_; }

  // Writes one value, creating the folder and the store as needed. Throws Failure when it cannot.
  void Save(const std::string& appName, const std::string& section, const std::string& key,
            const std::string& value) const;
  // The stored value, or nothing; a missing store (with nothing to import) is not created.
  // Throws Failure when the store cannot be read.
  std::optional<std::string> Get(const std::string& appName, const std::string& section,
                                 const std::string& key) const;
  // Deletes one value; a value, or a store, that is not there is no error. Throws Failure when the
  // store cannot be written.
  void Remove(const std::string& appName, const std::string& section, const std::string& key) const;

  // Stores `record` (replacing one with the same id) and deletes the values `removed` (their
  // values are not read), in one transaction. Throws Failure when it cannot.
  void StagePending(const PendingRecord& record,
                    const std::vector<StoredValue>& removed = {}) const;
  // The pending records of `database`, oldest first. Throws Failure when the store cannot be read.
  std::vector<PendingRecord> Pending(const std::string& database) const;
  // Writes `values` and deletes the record `id`, in one transaction: both happen or neither. A
  // record already gone is no error (its values are written all the same). Throws Failure.
  void CompletePending(const std::string& id, const std::vector<StoredValue>& values) const;
  // As above, with everything `completion` says; a record completed twice adds its run once.
  void CompletePending(const std::string& id, const Completion& completion) const;

  // The runs in the history, newest first: those of `database` (every one when empty) that made
  // `number` (any when empty). Throws Failure when the store cannot be read.
  std::vector<HistoryEntry> History(const std::string& database = {},
                                    const std::string& number = {}) const;

 private:
  class Database;
  // Which file a path names, and when it last changed.
  struct FileState;
  static std::optional<FileState> StateOf(const std::filesystem::path& file);

  // Whether there is a store, or a file to import into one.
  bool HasAnything() const;
  // Runs `work` in one write transaction on the store, creating it (and importing) as needed and
  // setting a damaged one aside once.
  void Transaction(const std::function<void(Database&)>& work) const;
  void Import(Database& db) const;
  static void AddHistory(Database& db, const std::string& origin, const HistoryEntry& entry);
  // Copies the damaged store, as the attempt that found it damaged `seen` it, aside with its
  // journal and empties it in place, under SQLite's exclusive lock; nothing when it has changed
  // since (another program did it first). Reports it.
  void ResetDamaged(const FileState& seen, const std::string& why) const;
  // Renames a damaged `damaged` (and its journal) aside and reports it.
  void SetAside(const std::filesystem::path& damaged, const std::string& why) const;
  static std::filesystem::path AsideName(const std::filesystem::path& damaged);
  void WarnSetAside(const std::filesystem::path& damaged, const std::filesystem::path& aside,
                    const std::string& why) const;

  std::filesystem::path file_;
  SettingsStoreOptions options_;
};

}  // namespace oq
