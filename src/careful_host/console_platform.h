#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/platform_port.h"

namespace oq::careful {

// The command line's platform: message boxes are acknowledged at once (printed to `messages` as
// "[style N] prompt" when a stream is given, and always recorded), the pointer is recorded,
// settings go to the user's settings store and the decimal separator is the user's locale's.
class ConsolePlatform : public PlatformPort {
 public:
  struct Message {
    int style = 0;
    std::string prompt;
  };

  // `messages` (not owned, may be null: record only) must outlive the platform.
  explicit ConsolePlatform(std::ostream* messages);

  // Called just before a message box is printed (for instance to end a log line that a terminal
  // shows on the same screen).
  void SetBeforeMessage(std::function<void()> beforeMessage) {
    beforeMessage_ = std::move(beforeMessage);
  }

  // Asked when the box that ends a run ("Fin del Proceso") comes: true leaves it unprinted (it is
  // still recorded), so that a run that succeeded ends quietly.
  void SetQuietEnd(std::function<bool()> quietEnd) { quietEnd_ = std::move(quietEnd); }

  void MsgBox(const std::string& prompt, int style) override;
  void SetMousePointer(int pointer) override { pointer_ = pointer; }
  // Writes to the per-user store; throws Failure when it cannot be written.
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::string DecimalSeparator() const override { return decimalSeparator_; }

  const std::vector<Message>& messages() const { return messages_; }
  // The last pointer value set, if any.
  std::optional<int> pointer() const { return pointer_; }

 private:
  std::ostream* out_;
  std::function<void()> beforeMessage_;
  std::function<bool()> quietEnd_;
  std::string decimalSeparator_;
  std::vector<Message> messages_;
  std::optional<int> pointer_;
};

// A text with each CR LF as a plain line break, for a terminal.
std::string WithPlainLineBreaks(const std::string& text);

}  // namespace oq::careful
