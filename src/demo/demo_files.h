#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// Opens (creating) the database file at a path; throws Failure when it cannot.
using DatabaseOpener = std::function<std::shared_ptr<HostConnection>(const std::filesystem::path&)>;

inline constexpr const char* kInternosFileName = "internos.db";
inline constexpr const char* kNcmFileName = "ncm.db";

struct DemoFiles {
  std::filesystem::path internos;
  std::filesystem::path ncm;
};

// Creates `folder` (and its parents) if needed, then the two demo databases kInternosFileName
// and kNcmFileName in it, opened through `open`, with schema and data in `dialect`.
// Refuses (throws std::runtime_error naming the file, before anything is written) when either
// file exists and `overwrite` is false; with `overwrite` both files (and their -wal, -shm and
// -journal companions) are removed first. A failure while writing removes what was written and
// propagates (Failure from the connection, std::filesystem::filesystem_error from the folder).
DemoFiles CreateDemoFiles(const std::filesystem::path& folder, bool overwrite,
                          const DatabaseOpener& open, Dialect dialect = Dialect::kSqlite);

}  // namespace oq::demo
