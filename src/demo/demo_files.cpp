#include "demo/demo_files.h"

#include <stdexcept>

#include "demo/demo_data.h"
#include "demo/demo_mark.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"

namespace oq::demo {

namespace {

// A database file and the companions its engine may leave beside it.
void RemoveDatabase(const std::filesystem::path& file) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::filesystem::remove(file.string() + suffix, ignored);
  }
}

}  // namespace

DemoFiles CreateDemoFiles(const std::filesystem::path& folder, bool overwrite,
                          const DatabaseOpener& open, Dialect dialect) {
  const DemoFiles files{folder / kInternosFileName, folder / kNcmFileName};
  for (const auto& file : {files.internos, files.ncm}) {
    if (!std::filesystem::exists(file)) continue;
    if (!overwrite) {
      throw std::runtime_error(file.string() +
                               " already exists; use --force to replace the demo databases");
    }
    RefuseUnlessDemo(*open(file), file.string(), file == files.internos);
  }
  std::filesystem::create_directories(folder);
  RemoveDatabase(files.internos);
  RemoveDatabase(files.ncm);
  try {
    {
      auto internos = open(files.internos);
      CreateInternosSchema(*internos, dialect);
      FillInternosDemo(*internos, dialect);
      MarkAsDemo(*internos);
    }
    {
      auto ncm = open(files.ncm);
      CreateNcmSchema(*ncm, dialect);
      FillNcmDemo(*ncm, dialect);
      MarkAsDemo(*ncm);
    }
  } catch (...) {
    // Half a demo is worse than none: the next run would refuse to overwrite it.
    RemoveDatabase(files.internos);
    RemoveDatabase(files.ncm);
    throw;
  }
  return files;
}

}  // namespace oq::demo
