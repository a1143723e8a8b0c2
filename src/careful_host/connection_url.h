#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::careful {

// Database URLs the program accepts:
//   sqlite:PATH                  a SQLite file (also sqlite://PATH, and sqlite:///ABSOLUTE)
//   sqlite:PATH?journal_mode=DELETE&synchronous=FULL&busy_timeout=5000&mode=ro
//   postgresql://[user@][host][:port][/database][?host=/socket/folder&...]
//                                a PostgreSQL database (also postgres://), read by libpq; what the
//                                URL leaves out comes from PGHOST, PGPORT, PGUSER, PGDATABASE...
// The SQLite query options are those of sqlite::OpenOptions (busy_timeout in milliseconds, mode=ro
// for read only). By default the file keeps its own journal mode and SQLite's own synchronous
// level, and a statement waits up to 30 s for another program's lock. A new scheme is one more
// entry in the scheme table of the .cpp.

// Opens the database `url` names. With `createIfMissing` false a missing database file is an
// error, so that a copy never creates an empty database. Throws std::invalid_argument for a URL
// of an unknown scheme or with unknown or bad options, std::runtime_error for a missing file,
// and oq::Failure when the engine refuses to open the database.
std::shared_ptr<HostConnection> OpenConnection(const std::string& url, bool createIfMissing);

// Opens the existing database `url` names so that nothing can be written through the connection:
// SQLite's read-only mode, or a PostgreSQL session whose transactions are all read only. Throws
// as OpenConnection does.
std::shared_ptr<HostConnection> OpenConnectionReadOnly(const std::string& url);

// The SQL dialect of the database `url` names. Throws std::invalid_argument for an unknown
// scheme.
Dialect DialectOf(const std::string& url);

// The database libraries in use, one line each: "SQLite 3.40.1", and "libpq 15.8" when built with
// PostgreSQL.
std::string EngineVersions();

// "sqlite:" followed by the path.
std::string SqliteUrl(const std::filesystem::path& path);

}  // namespace oq::careful
