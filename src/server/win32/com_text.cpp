#include "server/win32/com_text.h"

#include "host/failure.h"

namespace oq::win32 {

std::string FromBstr(BSTR text) {
  return text == nullptr ? std::string() : Narrow(text, ::SysStringLen(text));
}

Bstr::Bstr(std::string_view text) {
  const std::wstring wide = Wide(text);
  text_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (text_ == nullptr) throw Failure(7, "Out of memory");
}

}  // namespace oq::win32
