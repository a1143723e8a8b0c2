#include "careful_host/console_platform.h"

#include "careful_host/component_texts.h"
#include "engine/conversions.h"
#include "platform/regional_settings.h"
#include "platform/settings_store.h"

namespace oq::careful {

ConsolePlatform::ConsolePlatform(std::ostream* messages)
    : out_(messages), decimalSeparator_(UserDecimalSeparator()) {}

void ConsolePlatform::MsgBox(const std::string& prompt, int style) {
  messages_.push_back({style, prompt});
  if (out_ == nullptr || (IsRunEndBox(prompt, style) && quietEnd_ && quietEnd_())) return;
  if (beforeMessage_) beforeMessage_();
  *out_ << "[style " << style << "] " << WithPlainLineBreaks(prompt) << '\n';
}

void ConsolePlatform::SaveSetting(const std::string& appName, const std::string& section,
                                  const std::string& key, const std::string& value) {
  SettingsStore::ForCurrentUser().Save(appName, section, key, value);
}

std::string WithPlainLineBreaks(const std::string& text) { return rt::Replace(text, "\r\n", "\n"); }

}  // namespace oq::careful
