#include "connectors/postgres/server_messages.h"

#include "connectors/postgres/postgres_connection.h"

namespace oq::postgres {

std::string FirstLine(std::string_view text) {
  text = text.substr(0, text.find('\n'));
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  return std::string(text);
}

// The text after a leading "SEVERITY:  " label, as libpq writes its messages.
std::string_view WithoutLabel(std::string_view line) {
  const std::size_t colon = line.find(":  ");
  if (colon != std::string_view::npos && colon <= 8) line.remove_prefix(colon + 3);
  return line;
}

// The server's message as a user reads it: the primary line, and the detail line when there is
// one (for instance which key a unique index already holds). The position marker lines libpq adds
// ("LINE 1: ..." and a caret) only make sense in a fixed-width terminal, so they are dropped.
std::string ServerMessage(std::string_view what) {
  std::string message(WithoutLabel(FirstLine(what)));
  const std::size_t detail = what.find("\nDETAIL:  ");
  if (detail != std::string_view::npos) {
    message += " (" + std::string(WithoutLabel(FirstLine(what.substr(detail + 1)))) + ")";
  }
  return message;
}

Failure PostgresFailure(std::string description) {
  return Failure(kPostgresError, std::move(description), kPostgresSource);
}

// When the server ends the session during a statement, libpqxx discards the server's farewell
// and reports that it could not read the session's client encoding any more, which would only
// mislead a user; libpq's own reasons ("server closed the connection unexpectedly") are kept.
Failure LostFailure(const std::string& reason) {
  std::string description = "Connection to the PostgreSQL server lost";
  if (!reason.empty() && !reason.starts_with("Could not obtain client encoding")) {
    description += ": " + reason;
  }
  return PostgresFailure(description);
}

}  // namespace oq::postgres
