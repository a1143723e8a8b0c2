#pragma once

#include <string>
#include <string_view>

#include "host/failure.h"

// How the PostgreSQL connection words what libpq and the server tell it. Internal to it.
namespace oq::postgres {

// The first line of `text`, without trailing blanks.
std::string FirstLine(std::string_view text);
// The text after a leading "SEVERITY:  " label, as libpq writes its messages.
std::string_view WithoutLabel(std::string_view line);
// The server's message as a user reads it: the primary line, and the detail line in parentheses.
std::string ServerMessage(std::string_view what);
// A failure of the connection (kPostgresError, source kPostgresSource).
Failure PostgresFailure(std::string description);
// The failure of a session the server ended: "Connection to the PostgreSQL server lost" and why.
Failure LostFailure(const std::string& reason);

}  // namespace oq::postgres
