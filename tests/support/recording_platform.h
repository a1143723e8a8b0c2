#pragma once

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/platform_port.h"
#include "host/failure.h"

namespace oq::test {

// One message box as the copy procedures showed it.
struct ShownMessage {
  int style = 0;
  std::string prompt;
  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
  friend void PrintTo(const ShownMessage& m, std::ostream* os) {
    *os << m.style << " " << m.prompt;
  }
};

// A platform that records instead of showing: message boxes (acknowledged at once), pointer
// values and the settings under TRELVO / PROCESOS. The decimal separator is "." unless set.
class RecordingPlatform : public PlatformPort {
 public:
  void MsgBox(const std::string& prompt, int style) override {
    messages_.push_back({style, prompt});
    if (onBox) onBox(messages_.back());
  }
  void SetMousePointer(int pointer) override { pointers_.push_back(pointer); }
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (saveFailure_) throw *saveFailure_;
    settings_[appName + "/" + section + "/" + key] = value;
  }
  std::string DecimalSeparator() const override { return decimalSeparator_; }

  void setDecimalSeparator(std::string separator) { decimalSeparator_ = std::move(separator); }
  // Every later SaveSetting throws `failure` and stores nothing; nullopt stores again.
  void failSaveSetting(std::optional<Failure> failure) { saveFailure_ = std::move(failure); }

  const std::vector<ShownMessage>& messages() const { return messages_; }
  // Called with each box as it is shown, while it "waits" for the user.
  std::function<void(const ShownMessage&)> onBox;
  const std::vector<int>& pointers() const { return pointers_; }
  // Forgets the messages, pointers and settings recorded.
  void clear() {
    messages_.clear();
    pointers_.clear();
    settings_.clear();
  }
  // The value stored under TRELVO / PROCESOS / `key`, if any.
  std::optional<std::string> procesosSetting(const std::string& key) const {
    const auto found = settings_.find("TRELVO/PROCESOS/" + key);
    if (found == settings_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::string decimalSeparator_ = ".";
  std::optional<Failure> saveFailure_;
  std::vector<ShownMessage> messages_;
  std::vector<int> pointers_;
  std::map<std::string, std::string> settings_;
};

}  // namespace oq::test
