#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace oq {

// One registered class: what creation by name needs to load its library.
struct RegisteredClass {
  std::string classId;         // "{...}", upper case
  std::string progId;          // the registered name, as registered
  std::string threadingModel;  // "Apartment"
  std::string libraryPath;     // the shared library that exports DllGetClassObject
  std::string typeLibraryId;   // may be empty
};

// One registered type library.
struct RegisteredTypeLibrary {
  std::string id;  // "{...}", upper case
  std::string name;
  std::string version;  // "major.minor"
  std::string path;     // the file that carries it
};

// The per-user component registry: a JSON file that maps registered names to class ids, class ids
// to the libraries that serve them, and type library ids to their files:
//   { "classes":  { "{CLSID}": { "name", "threading", "library", "typelib" } },
//     "names":    { "Registered.Name": "{CLSID}" },
//     "typelibs": { "{LIBID}": { "name", "version", "path" } } }
// Names are matched without regard to case, class and library ids too (they are stored in upper
// case). Every change rewrites the file whole (a temporary file renamed over it) while holding an
// exclusive lock on a companion ".lock" file, so several programs registering at once each see the
// others' entries and lose none; readers take no lock and always see a whole file.
class ServerRegistry {
 public:
  // The registry at `file`.
  explicit ServerRegistry(std::filesystem::path file);
  // The registry at DefaultPath().
  ServerRegistry();

  // $OQ_COMPONENT_REGISTRY when set and not empty; otherwise
  // $XDG_CONFIG_HOME/oquardelino/components.json, with ~/.config when XDG_CONFIG_HOME is unset.
  // Read anew at every call. Throws Failure 75 when neither HOME nor XDG_CONFIG_HOME is set.
  static std::filesystem::path DefaultPath();

  const std::filesystem::path& path() const { return file_; }

  // Adds or replaces the class and points its name at it (dropping any other spelling of that
  // name). Creates the folder and the file when missing.
  // Throws Failure 75 when the file cannot be written or holds something other than a registry;
  // the file is then left as it was.
  void RegisterClass(const RegisteredClass& entry);
  // Removes the class and every name that points at it. Absent entries are not an error.
  // Throws as RegisterClass.
  void UnregisterClass(const std::string& classId);
  void RegisterTypeLibrary(const RegisteredTypeLibrary& entry);
  void UnregisterTypeLibrary(const std::string& id);

  // Look-ups. A missing file is an empty registry. Throw Failure 75 when the file cannot be read
  // or is damaged.
  std::optional<std::string> ClassIdOf(const std::string& progId) const;
  std::optional<RegisteredClass> FindClass(const std::string& classId) const;
  std::optional<RegisteredTypeLibrary> FindTypeLibrary(const std::string& id) const;

 private:
  nlohmann::json Read() const;
  // Reads, applies `change` and writes back, all under the exclusive lock.
  void Update(const std::function<void(nlohmann::json&)>& change);

  std::filesystem::path file_;
};

// A class or library id in the registry's spelling (upper case); other texts unchanged.
std::string NormalizedId(const std::string& id);

}  // namespace oq
