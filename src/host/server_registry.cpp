#include "host/server_registry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <nlohmann/json.hpp>

#include "host/failure.h"
#include "host/locked_json_file.h"

namespace oq {

namespace {

using nlohmann::json;

Failure FileFailure(const std::filesystem::path& file, const std::string& why) {
  return Failure(err::kPathFileAccess, "Path/File access error: " + file.string() + ": " + why);
}

LockedJsonFile File(const std::filesystem::path& file) {
  return LockedJsonFile(file, {FileFailure, "cannot be opened", "is not a component registry"});
}

std::string Folded(const std::string& text) {
  std::string folded = text;
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
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

json ServerRegistry::Read() const { return File(file_).Read(); }

void ServerRegistry::Update(const std::function<void(json&)>& change) {
  File(file_).Update(change);
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
