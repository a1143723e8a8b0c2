#include "workspace.h"

#include <iostream>

#include "bench_db.h"
#include "timing.h"

namespace oq::bench {

void Workspace::BuildTemplates(const std::vector<int>& sizes) const {
  std::filesystem::create_directories(folder_);
  Stopwatch clock;
  BuildNcmDatabase(Ncm());
  for (int n : sizes) BuildInternosDatabase(Internos(n), n);
  std::cerr << "templates built in " << clock.Seconds() << " s\n";
}

}  // namespace oq::bench
