#include "recording_platform.h"

namespace oq::test {

void RecordingPlatform::MsgBox(const std::string& prompt, int style) {
  messages_.push_back({style, prompt});
}

void RecordingPlatform::SetMousePointer(int pointer) { pointers_.push_back(pointer); }

void RecordingPlatform::SaveSetting(const std::string& appName, const std::string& section,
                                    const std::string& key, const std::string& value) {
  if (saveFailure_) throw *saveFailure_;
  settings_[{appName, section, key}] = value;
}

void RecordingPlatform::clear() {
  messages_.clear();
  pointers_.clear();
  settings_.clear();
}

std::optional<std::string> RecordingPlatform::procesosSetting(const std::string& key) const {
  const auto found = settings_.find({"TRELVO", "PROCESOS", key});
  if (found == settings_.end()) return std::nullopt;
  return found->second;
}

}  // namespace oq::test
