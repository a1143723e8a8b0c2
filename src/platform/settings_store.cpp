#include "platform/settings_store.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "host/failure.h"
#include "host/locked_json_file.h"

namespace oq {

namespace {

constexpr std::int32_t kPathFileAccessError = 75;

Failure AccessError(const std::filesystem::path& file, const std::string& what) {
  return Failure(kPathFileAccessError,
                 "Path/File access error (" + file.string() + ": " + what + ")");
}

LockedJsonFile File(const std::filesystem::path& file) {
  return LockedJsonFile(file, {AccessError, "cannot be read", "not a settings file",
                               /*emptyIsObject=*/true, /*mode=*/0600});
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
  File(file_).Update([&](nlohmann::json& store) {
    nlohmann::json& app = store[appName];
    if (!app.is_object()) app = nlohmann::json::object();
    nlohmann::json& sectionValues = app[section];
    if (!sectionValues.is_object()) sectionValues = nlohmann::json::object();
    sectionValues[key] = value;
  });
}

void SettingsStore::Remove(const std::string& appName, const std::string& section,
                           const std::string& key) const {
  if (!std::filesystem::exists(file_)) return;
  File(file_).Update([&](nlohmann::json& store) {
    auto app = store.find(appName);
    if (app == store.end() || !app->is_object()) return;
    auto sec = app->find(section);
    if (sec != app->end() && sec->is_object()) sec->erase(key);
  });
}

std::optional<std::string> SettingsStore::Get(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key) const {
  const nlohmann::json store = File(file_).Read();
  auto app = store.find(appName);
  if (app == store.end() || !app->is_object()) return std::nullopt;
  auto sec = app->find(section);
  if (sec == app->end() || !sec->is_object()) return std::nullopt;
  auto value = sec->find(key);
  if (value == sec->end() || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

}  // namespace oq
