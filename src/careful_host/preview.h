#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/data_access_manager.h"
#include "host/host_connection.h"

namespace oq::careful {

// One source item as the licence-filtered copies would see it.
struct PreviewItem {
  long long id = 0;
  std::string ncm;       // the item's ncm text (empty for Null)
  std::string position;  // its characters 1 to 10, cut by the database as the copy's lookup cuts
  std::string suffix;    // its characters 12 to 14, likewise
  // What ncm holds for the position and suffix: "*", "empty", "Null", "other: X", "several rows",
  // "not found".
  std::string mark;
  double fob = 0;
  bool conKeeps = false;  // kept by the copy "con LAPI"
  bool sinKeeps = false;  // kept by the copy "sin LAPI"
};

struct PreviewTotals {
  long items = 0;
  double fob = 0;
};

// Every item of a source interno with what each filtered copy does with it, and the totals.
struct Preview {
  std::string source;
  std::vector<PreviewItem> items;
  PreviewTotals con, sin, neither;
  // The source cover sheet's fobdivisas: a number (also when a text column holds one), or
  // nothing, with the text it holds instead in `sourceFobText` (empty for Null).
  std::optional<double> sourceFob;
  std::string sourceFobText;
};

// The source's fobdivisas as the program shows it: the number, "Null", or the text in quotes
// followed by "(not a number)".
std::string SourceFobShown(const Preview& preview);

// Reads the items of `source` in id order and decides for each, with the very lookup and
// comparison the copies make (filtered::TariffKeeps), whether each option keeps it; the position
// and suffix shown, and what ncm holds for them, come from the same expressions, evaluated by the
// NCM database. A few queries per distinct ncm text. Sends only queries. Throws Failure from the
// connections.
Preview BuildPreview(HostConnection& internos, HostConnection& ncm, DataAccessManager& dam,
                     const std::string& source, const std::string& decimalSeparator);

// Opens the databases of the two URLs read only, checks them and previews `source` with the
// user's decimal separator. `say` receives the notes of PrepareDatabases. Throws CheckRefusal
// (a database that cannot be opened), PreflightError or Failure; nothing is written either way.
Preview ReadPreview(const std::string& internosUrl, const std::string& ncmUrl,
                    const std::string& source,
                    const std::function<void(const std::string& line)>& say);

// Why an item is in neither filtered copy, from what ncm holds for it.
std::string WhyNeither(const PreviewItem& item);

}  // namespace oq::careful
