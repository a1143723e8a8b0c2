#include "careful_host/connection_url.h"

#include <array>
#include <chrono>
#include <stdexcept>
#include <string_view>

#include "connectors/sqlite/sqlite_connection.h"
#ifdef OQ_HAVE_POSTGRES
#include "connectors/postgres/postgres_connection.h"
#endif

namespace oq::careful {

namespace {

struct Scheme {
  std::string_view prefix;
  Dialect dialect;
  std::shared_ptr<HostConnection> (*open)(const std::string& rest, bool createIfMissing);
};

std::string Path(std::string_view rest) {
  // sqlite://relative and sqlite:///absolute both name a path after the two slashes.
  if (rest.substr(0, 2) == "//") rest.remove_prefix(2);
  return std::string(rest);
}

void ApplyOption(sqlite::OpenOptions& options, std::string_view key, std::string_view value) {
  if (key == "journal_mode") {
    options.journalMode = std::string(value);
  } else if (key == "synchronous") {
    options.synchronous = std::string(value);
  } else if (key == "mode") {
    if (value != "ro" && value != "rw") {
      throw std::invalid_argument("mode must be ro (read only) or rw, not '" + std::string(value) +
                                  "'");
    }
    options.readOnly = value == "ro";
  } else if (key == "busy_timeout") {
    try {
      std::size_t used = 0;
      const long ms = std::stol(std::string(value), &used);
      if (used != value.size() || ms < 0) throw std::invalid_argument("negative");
      options.busyTimeout = std::chrono::milliseconds(ms);
    } catch (const std::exception&) {
      throw std::invalid_argument("busy_timeout must be a number of milliseconds, not '" +
                                  std::string(value) + "'");
    }
  } else {
    throw std::invalid_argument("unknown SQLite option '" + std::string(key) +
                                "' (known: journal_mode, synchronous, busy_timeout, mode)");
  }
}

std::shared_ptr<HostConnection> OpenSqlite(const std::string& rest, bool createIfMissing) {
  sqlite::OpenOptions options;
  options.createIfMissing = createIfMissing;
  const std::size_t question = rest.find('?');
  const std::string path = Path(std::string_view(rest).substr(0, question));
  if (path.empty()) throw std::invalid_argument("the URL names no database file: sqlite:" + rest);
  if (question != std::string::npos) {
    std::string_view query = std::string_view(rest).substr(question + 1);
    while (!query.empty()) {
      const std::size_t amp = query.find('&');
      const std::string_view pair = query.substr(0, amp);
      const std::size_t equals = pair.find('=');
      if (equals == std::string_view::npos) {
        throw std::invalid_argument("option without a value in the URL: '" + std::string(pair) +
                                    "'");
      }
      ApplyOption(options, pair.substr(0, equals), pair.substr(equals + 1));
      query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
  }
  if (!createIfMissing && !std::filesystem::exists(path)) {
    throw std::runtime_error("database file not found: " + path +
                             " (run 'oquardelino demo' to create the demo databases)");
  }
  return sqlite::SqliteConnection::Open(path, options);
}

#ifdef OQ_HAVE_POSTGRES
// libpq reads the whole URI (user, host, port, database, ?options) and falls back on the PGHOST,
// PGPORT, PGUSER, PGDATABASE... variables for what it leaves out. The database must exist: the
// program creates tables, never databases.
std::shared_ptr<HostConnection> OpenPostgres(const std::string& rest, bool /*createIfMissing*/) {
  return std::make_shared<postgres::PostgresConnection>("postgresql://" + rest);
}
#endif

#ifdef OQ_HAVE_POSTGRES
constexpr std::array<Scheme, 3> kSchemes = {{
    {"sqlite:", Dialect::kSqlite, &OpenSqlite},
    {"postgresql://", Dialect::kPostgres, &OpenPostgres},
    {"postgres://", Dialect::kPostgres, &OpenPostgres},
}};
#else
constexpr std::array<Scheme, 1> kSchemes = {{
    {"sqlite:", Dialect::kSqlite, &OpenSqlite},
}};
#endif

const Scheme& SchemeOf(const std::string& url) {
  for (const Scheme& scheme : kSchemes) {
    if (std::string_view(url).substr(0, scheme.prefix.size()) == scheme.prefix) return scheme;
  }
  std::string known;
  for (const Scheme& scheme : kSchemes)
    known += (known.empty() ? "" : ", ") + std::string(scheme.prefix);
  throw std::invalid_argument("unknown database URL '" + url + "': it must begin with " + known);
}

}  // namespace

std::shared_ptr<HostConnection> OpenConnection(const std::string& url, bool createIfMissing) {
  const Scheme& scheme = SchemeOf(url);
  return scheme.open(url.substr(scheme.prefix.size()), createIfMissing);
}

std::shared_ptr<HostConnection> OpenConnectionReadOnly(const std::string& url) {
  const Scheme& scheme = SchemeOf(url);
  const char joiner = url.find('?') == std::string::npos ? '?' : '&';
  if (scheme.dialect == Dialect::kSqlite) return OpenConnection(url + joiner + "mode=ro", false);
  // libpq passes `options` to the server for every session, a reopened one included.
  return OpenConnection(url + joiner + "options=-c%20default_transaction_read_only%3Don", false);
}

Dialect DialectOf(const std::string& url) { return SchemeOf(url).dialect; }

std::string EngineVersions() {
  std::string text = "SQLite " + sqlite::LibraryVersion();
#ifdef OQ_HAVE_POSTGRES
  text += "\nlibpq " + postgres::LibraryVersion();
#endif
  return text;
}

std::string SqliteUrl(const std::filesystem::path& path) { return "sqlite:" + path.string(); }

}  // namespace oq::careful
