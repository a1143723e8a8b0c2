#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/platform_port.h"
#include "host/failure.h"

namespace oq::test {

// One message box as the copy procedures showed it.
struct ShownMessage {
  int style = 0;
  std::string prompt;
  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

// A platform that records instead of showing: message boxes (acknowledged at once), pointer
// values and settings, kept in memory. The decimal separator is whatever the test sets ("." by
// default); SaveSetting can be made to fail.
class RecordingPlatform : public PlatformPort {
 public:
  using SettingKey = std::tuple<std::string, std::string, std::string>;  // app, section, key

  void MsgBox(const std::string& prompt, int style) override;
  void SetMousePointer(int pointer) override;
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::string DecimalSeparator() const override { return decimalSeparator_; }

  void setDecimalSeparator(std::string separator) { decimalSeparator_ = std::move(separator); }
  // Every later SaveSetting throws `failure` (and stores nothing); nullopt writes again.
  void failSaveSetting(std::optional<Failure> failure) { saveFailure_ = std::move(failure); }

  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<int>& pointers() const { return pointers_; }
  const std::map<SettingKey, std::string>& settings() const { return settings_; }
  // Forgets what was recorded (messages, pointers, settings); keeps the separator and failures.
  void clear();
  // The value stored under TRELVO / PROCESOS / `key`, if any.
  std::optional<std::string> procesosSetting(const std::string& key) const;

 private:
  std::string decimalSeparator_ = ".";
  std::optional<Failure> saveFailure_;
  std::vector<ShownMessage> messages_;
  std::vector<int> pointers_;
  std::map<SettingKey, std::string> settings_;
};

}  // namespace oq::test
