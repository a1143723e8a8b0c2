#include "bench_db.h"

#include <fcntl.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_schema.h"
#include "engine/table_layouts.h"
#include "raw_sqlite.h"

namespace oq::bench {

namespace {

// A deterministic 64-bit mix, so that the mark of an ncm row depends on its index only.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

struct NcmRow {
  std::string position;  // 10 characters, as [001]
  std::string suffix;    // 3 characters, as [002]
  const char* mark;      // "*", "" or nullptr for NULL
};

// Row i of the nomenclature: two suffixes for each of kNcmRows / 2 positions. Chapters run from
// 01 to 97, so chapter 99 is free for positions that ncm does not hold.
NcmRow RowOfNcm(int i) {
  const int p = i / 2;
  char position[32];
  std::snprintf(position, sizeof position, "%02d%02d.%02d.%02d", 1 + p % 97, (p / 97) % 100,
                10 + p / 9700, (p * 37) % 100);
  const int roll = static_cast<int>(Mix(static_cast<std::uint64_t>(i)) % 100);
  const char* mark = roll < kMarkedPercent                      ? "*"
                     : roll < kMarkedPercent + kUnmarkedPercent ? ""
                                                                : nullptr;
  return {position, i % 2 == 0 ? "100" : "200", mark};
}

class Prepared {
 public:
  Prepared(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) Fail();
  }
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;

  void Text(int index, const char* value) {
    sqlite3_bind_text(stmt_, index, value, -1, SQLITE_TRANSIENT);
  }
  void Real(int index, double value) { sqlite3_bind_double(stmt_, index, value); }
  void Run() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) Fail();
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  [[noreturn]] void Fail() {
    throw std::runtime_error(std::string("build: ") + sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::string Placeholders(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += i == 0 ? "?" : ",?";
  return text;
}

// Builders open their files with the library's defaults: the templates carry no journal mode of
// their own, and each measurement sets the one it measures.
const SqliteSettings kBuildSettings{"delete", "off"};

void InsertCoverSheet(RawDb& db) {
  std::string columns;
  std::string values;
  for (std::size_t i = 0; i < layout::kCaratula.size(); ++i) {
    columns += (i ? "," : "") + std::string(layout::kCaratula[i]);
    std::string value = CoverSheetLiteral(i);
    if (i == layout::kCaratulaInterno) value = std::string("'") + kSourceInterno + "'";
    if (i == layout::kCaratulaFob) value = "123456.78";
    values += (i ? "," : "") + value;
  }
  db.Exec("insert into caratula (" + columns + ") values (" + values + ")");
  for (int orden = 1; orden <= 3; ++orden) {
    db.Exec(std::string("insert into facturas (interno, orden, factura) values ('") +
            kSourceInterno + "', " + std::to_string(orden) + ", 'A-0001-0000" +
            std::to_string(4710 + orden) + "')");
  }
}

}  // namespace

void RemoveDatabase(const std::filesystem::path& file) {
  for (const char* tail : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(file.string() + tail);
  }
}

void FreshCopy(const std::filesystem::path& templateFile, const std::filesystem::path& target) {
  RemoveDatabase(target);
  std::filesystem::copy_file(templateFile, target);
  // Everything written so far goes to disk now (the copy, and what the previous measurement left
  // in the page cache), so that no timed run pays for writing back another's pages.
  const int fd = ::open(target.c_str(), O_RDONLY);
  if (fd < 0 || ::syncfs(fd) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("cannot sync " + target.string());
  }
  ::close(fd);
  // Hand the heap's free memory back and merge its free chunks: what an earlier measurement
  // freed (a run's record sets) would otherwise slow the allocator down for the next one.
  ::malloc_trim(0);
}

void BuildNcmDatabase(const std::filesystem::path& file) {
  RemoveDatabase(file);
  RawDb db(file, kBuildSettings);
  db.ExecScript(NcmSchemaScript());
  db.Exec("begin");
  Prepared insert(db.handle(), "insert into ncm ([001], [002], [059], [003]) values (?,?,?,?)");
  for (int i = 0; i < kNcmRows; ++i) {
    const NcmRow row = RowOfNcm(i);
    insert.Text(1, row.position.c_str());
    insert.Text(2, row.suffix.c_str());
    if (row.mark) insert.Text(3, row.mark);
    insert.Text(4, ("Posicion arancelaria " + row.position).c_str());
    insert.Run();
  }
  db.Exec("commit");
}

void BuildInternosDatabase(const std::filesystem::path& file, int items) {
  RemoveDatabase(file);
  RawDb db(file, kBuildSettings);
  db.ExecScript(InternosSchemaScript());
  db.Exec("begin");
  InsertCoverSheet(db);

  std::string columns;
  for (std::size_t i = 0; i < layout::kSubitems.size(); ++i) {
    columns += (i ? "," : "") + std::string(layout::kSubitems[i]);
  }
  Prepared insert(db.handle(), "insert into subitems (" + columns + ") values (" +
                                   Placeholders(static_cast<int>(layout::kSubitems.size())) + ")");
  std::mt19937 random(20240603u + static_cast<unsigned>(items));
  std::uniform_int_distribution<int> ncmRow(0, kNcmRows - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> cents(100, 999999);
  static const std::array<const char*, 6> kGoods = {
      "Rodamientos de bolas de acero",   "Partes de maquinas automaticas",
      "Tornillos y pernos galvanizados", "Circuitos integrados monoliticos",
      "Tejidos de algodon tenido",       "Valvulas de retencion de bronce"};

  for (int n = 1; n <= items; ++n) {
    std::string ncm;
    if (percent(random) < kMissingPercent) {
      char code[32];
      std::snprintf(code, sizeof code, "99%02d.00.00 100", n % 100);
      ncm = code;
    } else {
      const NcmRow row = RowOfNcm(ncmRow(random));
      ncm = row.position + " " + row.suffix;
    }
    const double quantity = 1 + percent(random);
    const double price = cents(random) / 100.0;
    const double kilos = (cents(random) % 50000) / 100.0;
    const std::string number = std::to_string(n);
    const std::string goods = kGoods[static_cast<std::size_t>(n) % kGoods.size()];
    int c = 0;
    insert.Text(++c, kSourceInterno);
    insert.Text(++c, ("CAT-" + std::to_string(n % 40)).c_str());
    insert.Text(++c, ("ART-" + number).c_str());
    insert.Text(++c, ncm.c_str());
    insert.Text(++c, "07");
    insert.Real(++c, quantity);
    insert.Real(++c, price);
    insert.Text(++c, std::to_string(static_cast<int>(quantity)).c_str());
    insert.Real(++c, 1);
    insert.Text(++c, n % 3 ? "203" : "410");
    insert.Text(++c, "NU");  // EstadoMerc holds two characters
    insert.Text(++c, (goods + ", item " + number).c_str());
    insert.Text(++c, n % 10 ? "N" : "S");
    insert.Text(++c, "1");
    insert.Real(++c, 0);
    insert.Real(++c, 0);
    insert.Text(++c, "");
    insert.Text(++c, "");
    insert.Text(++c, "");
    insert.Text(++c, "");
    insert.Text(++c, "");
    insert.Real(++c, 0);
    insert.Text(++c,
                ("AA(MARCA " + std::to_string(n % 17) + ") AB(MODELO X" + number + ")").c_str());
    insert.Text(++c, n % 4 ? "" : "S");
    insert.Real(++c, kilos);
    insert.Real(++c, kilos * 1.1);
    insert.Real(++c, quantity * price);
    insert.Real(++c, 0);
    insert.Text(++c, "");
    insert.Text(++c, goods.c_str());
    insert.Text(++c, n % 3 ? "203" : "410");
    insert.Text(++c, n % 5 ? "N" : "S");
    insert.Text(++c, "");
    insert.Run();
  }
  db.Exec("commit");
  db.Exec("analyze");
}

}  // namespace oq::bench
