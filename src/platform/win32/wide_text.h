#pragma once

#include <string>
#include <string_view>

namespace oq::win32 {

// The component keeps text as UTF-8; Windows takes it as UTF-16.
std::wstring Wide(std::string_view text);
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(std::wstring_view text);

}  // namespace oq::win32
