#include "settings_choice.h"

#include <string>

#include "bench_db.h"
#include "raw_sqlite.h"
#include "timing.h"

namespace oq::bench {

namespace {

struct Candidate {
  SqliteSettings settings;
  int pairs;  // enough for about a quarter of a second each
};

// The library's own default (rollback journal, synchronous FULL) first: what a connection gets
// when it sets nothing.
const std::vector<Candidate> kCandidates = {
    {{"delete", "full"}, 300},
    {{"delete", "normal"}, 300},
    {{"wal", "full"}, 600},
    {{"wal", "normal"}, 4000},
};

double RunPairs(const std::filesystem::path& internos, const std::filesystem::path& ncm,
                const SqliteSettings& settings, int pairs) {
  RawDb items(internos, settings);
  RawDb nomenclature(ncm, settings);
  const std::string insertHead =
      "insert into subitems (interno,IdCatalogo,IDARTICULO,ncm,Cantidad,FOB,descripcion) values "
      "('SETTINGS-1','CAT-1','ART-";
  Stopwatch clock;
  for (int i = 0; i < pairs; ++i) {
    nomenclature.Query(
        "select [001] as total,[002] from ncm where ('0101.00.10' = [001] and "
        "'100' = [002] and [059] = '*')");
    items.Exec(insertHead + std::to_string(i) + "','0101.00.10 100',1,12.5,'Rodamientos')");
  }
  return clock.Seconds();
}

}  // namespace

std::vector<SettingsFigure> MeasureSettings(const std::filesystem::path& internosTemplate,
                                            const std::filesystem::path& ncmTemplate,
                                            const std::filesystem::path& work, int repetitions) {
  const std::filesystem::path internos = work / "settings-internos.db";
  const std::filesystem::path ncm = work / "settings-ncm.db";
  std::vector<SettingsFigure> figures;
  for (const Candidate& candidate : kCandidates) {
    SettingsFigure figure{
        candidate.settings.journalMode, candidate.settings.synchronous, candidate.pairs, {}};
    for (int r = 0; r < repetitions; ++r) {
      FreshCopy(internosTemplate, internos);
      FreshCopy(ncmTemplate, ncm);
      figure.samples.push_back(RunPairs(internos, ncm, candidate.settings, candidate.pairs));
    }
    figures.push_back(figure);
  }
  RemoveDatabase(internos);
  RemoveDatabase(ncm);
  return figures;
}

}  // namespace oq::bench
