#pragma once

#include <string>

#include "host/failure.h"

namespace oq {

// Pieces of the copy procedures' failure messages.

// Two line breaks, between a failure's text and the section that caught it.
inline constexpr const char* kTwoLineBreaks = "\r\n\r\n";

// "<number> - <description>": the number in decimal (with a minus sign when negative).
std::string NumberDashDescription(const Failure& failure);

// "<number> - <description>", two line breaks, then `section`: the text a copy step shows.
std::string SectionFailureText(const Failure& failure, const std::string& section);

}  // namespace oq
