#include "preview_timing.h"

#include <cstdio>
#include <set>

#include "bench_db.h"
#include "connectors/components/host_components.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "careful_host/preview.h"
#include "timing.h"

namespace oq::bench {

PreviewFigure MeasurePreview(const Workspace& space, int n, int repetitions) {
  sqlite::OpenOptions readOnly;
  readOnly.readOnly = true;
  auto internos = sqlite::SqliteConnection::Open(space.Internos(n).string(), readOnly);
  auto ncm = sqlite::SqliteConnection::Open(space.Ncm().string(), readOnly);
  components::RegisterHostComponents();
  const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
  auto& manager = dynamic_cast<DataAccessManager&>(*dam);

  std::vector<double> wall, cpu;
  PreviewFigure figure{n, 0, 0, 0};
  for (int r = 0; r < repetitions; ++r) {
    Stopwatch watch;
    const careful::Preview preview = careful::BuildPreview(*internos, *ncm, manager, kSourceInterno, ".");
    const Sample sample = watch.Elapsed();
    wall.push_back(sample.wall);
    cpu.push_back(sample.cpu);
    std::set<std::string> codes;
    for (const careful::PreviewItem& item : preview.items) codes.insert(item.ncm);
    figure.distinctCodes = static_cast<long>(codes.size());
  }
  figure.seconds = Median(wall);
  figure.cpuSeconds = Median(cpu);
  return figure;
}

void PrintPreviewFigures(std::ostream& out, const std::vector<PreviewFigure>& figures) {
  out << "\nRead-only preview (every item, both options, one lookup per distinct tariff code):\n"
      << "       N  distinct codes     ms  cpu ms    items/s\n";
  for (const PreviewFigure& f : figures) {
    char line[128];
    std::snprintf(line, sizeof line, "%8d  %14ld %6.1f  %6.1f  %9.0f\n", f.n, f.distinctCodes,
                  f.seconds * 1000, f.cpuSeconds * 1000, f.seconds > 0 ? f.n / f.seconds : 0);
    out << line;
  }
}

}  // namespace oq::bench
