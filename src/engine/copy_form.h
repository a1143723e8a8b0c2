#pragma once

#include <string>

namespace oq {

// The boxes of frmMAIN that the copy runs read and write. The dialog model implements it; a view
// bound to the model shows every change as it happens.
class CopyForm {
 public:
  CopyForm() = default;
  CopyForm(const CopyForm&) = delete;
  CopyForm& operator=(const CopyForm&) = delete;
  virtual ~CopyForm() = default;

  virtual std::string Text1() const = 0;  // the new interno number, as typed
  virtual std::string txtCopias() const = 0;
  virtual void set_txtCopias(const std::string& text) = 0;
  virtual std::string txtLOG() const = 0;
  virtual void set_txtLOG(const std::string& text) = 0;
};

}  // namespace oq
