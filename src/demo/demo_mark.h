#pragma once

#include <string>

#include "host/host_connection.h"

namespace oq::demo {

// Every demo database carries a one-row table of this name, so that replacing a demo can never
// destroy a database the demo did not make.
inline constexpr const char* kDemoMarkTable = "oquardelino_demo";

// Creates the mark in a database the demo has just filled.
void MarkAsDemo(HostConnection& connection);

// Throws std::runtime_error, before anything is written, when `connection` (named `what` in the
// message) holds any of the demo's tables without the demo's mark; the message says what the
// replacement would destroy. A database without those tables, or a marked one, passes.
void RefuseUnlessDemo(HostConnection& connection, const std::string& what, bool internos);

}  // namespace oq::demo
