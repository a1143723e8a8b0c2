#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace oq {

// The per-user application settings store: values filed under an application, a section and a
// key. Any text round-trips as a key or value (interno numbers may hold '=', ';', brackets, quotes,
// blanks, accents). A write is atomic, and two programs writing at once lose nothing.
class SettingsStore {
 public:
  // A store kept in `file`.
  explicit SettingsStore(std::filesystem::path file);
  // The user's store, in the platform's per-user configuration folder
  // ($XDG_CONFIG_HOME, or ~/.config, then oquardelino/settings.json).
  static SettingsStore ForCurrentUser();

  const std::filesystem::path& file() const { return file_; }

  // Writes one value, creating the folder and file as needed. Throws Failure when it cannot.
  void Save(const std::string& appName, const std::string& section, const std::string& key,
            const std::string& value) const;
  // Deletes one value; nothing happens when it is not there. Throws Failure when it cannot.
  void Remove(const std::string& appName, const std::string& section, const std::string& key) const;
  // The stored value, or nothing. Throws Failure when the store exists but cannot be read.
  std::optional<std::string> Get(const std::string& appName, const std::string& section,
                                 const std::string& key) const;

 private:
  std::filesystem::path file_;
};

}  // namespace oq
