#include "server/win32/com_text.h"

#include "host/failure.h"

namespace oq::win32 {

std::string FromBstr(BSTR text) {
  return text == nullptr ? std::string() : Narrow(text, ::SysStringLen(text));
}

Bstr::Bstr(std::string_view text) {
  // Converted straight into the string's own buffer: no copy on the way.
  const int size = static_cast<int>(text.size());
  const int length =
      size == 0 ? 0 : ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  text_ = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (text_ == nullptr) throw Failure(7, "Out of memory");
  if (length > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, text_, length);
}

}  // namespace oq::win32
