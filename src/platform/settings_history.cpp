// The history a settings store keeps of the runs of a program (see settings_store.h).
#include <string>

#include "platform/settings_database.h"
#include "platform/settings_store.h"

namespace oq {

void SettingsStore::AddHistory(Database& db, const std::string& origin, const HistoryEntry& entry) {
  const auto run = db.Run(
      "insert into history (origin, database, recorded, content) values (?, ?, "
      "cast(strftime('%s', 'now') as integer), ?) on conflict (origin) do nothing returning run",
      {origin, entry.database, entry.content});
  if (!run) return;  // recorded when the same record was completed before
  Database::Statement insert = db.Prepare(
      "insert or ignore into history_internos (run, interno, position) values (?, ?, ?)");
  int position = 0;
  for (const auto& number : entry.numbers) {
    insert.Run({*run, number.first, std::to_string(++position)});
  }
}

std::vector<HistoryEntry> SettingsStore::History(const std::string& database,
                                                 const std::string& number) const {
  std::vector<HistoryEntry> entries;
  if (!HasAnything()) return entries;
  Transaction([&](Database& db) {
    db.Prepare(
          "select run, database, recorded, content from history where (?1 = '' or database = ?1) "
          "and (?2 = '' or run in (select run from history_internos where interno = ?2)) "
          "order by run desc")
        .Each({database, number}, 4, [&](std::vector<std::string>& row) {
          entries.push_back({row[0], row[1], row[3], std::stoll(row[2]), {}});
        });
    Database::Statement numbers =
        db.Prepare("select interno, undone from history_internos where run = ? order by position");
    for (HistoryEntry& entry : entries) {
      numbers.Each({entry.run}, 2, [&entry](std::vector<std::string>& row) {
        entry.numbers.emplace_back(row[0], std::stoll(row[1]));
      });
    }
  });
  return entries;
}

}  // namespace oq
