#pragma once

#include <string>

namespace oq {

// The boxes of frmMAIN that the copy runs read and write: Text1 (the new interno number),
// txtCopias (the number of copies) and txtLOG (the log). The dialog model implements it; a view
// bound to the model shows every change as it happens.
class CopyForm {
 public:
  CopyForm() = default;
  CopyForm(const CopyForm&) = delete;
  CopyForm& operator=(const CopyForm&) = delete;
  virtual ~CopyForm() = default;

  virtual std::string get_Text1() const = 0;  // as typed: no trimming, no case change
  virtual std::string get_txtCopias() const = 0;
  virtual void let_txtCopias(const std::string& text) = 0;
  virtual std::string get_txtLOG() const = 0;
  virtual void let_txtLOG(const std::string& text) = 0;
};

}  // namespace oq
