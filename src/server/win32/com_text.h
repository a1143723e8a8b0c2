#pragma once

#include <oaidl.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/wide_text.h"

namespace oq::win32 {

// A BSTR's text; a null BSTR is the empty text, as automation treats it.
std::string FromBstr(BSTR text);

// A BSTR that is freed when it ends, unless released to a caller that takes it over.
class Bstr {
 public:
  explicit Bstr(std::string_view text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(text_); }
  BSTR get() const { return text_; }
  BSTR Release() { return std::exchange(text_, nullptr); }

 private:
  BSTR text_;
};

}  // namespace oq::win32
