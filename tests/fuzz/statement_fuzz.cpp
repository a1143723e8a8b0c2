// Builds every statement the copy runs send, from random interno numbers and item values of every
// kind, and checks each on SQLite: exactly one statement, nothing after it, and every value reads
// back as what went in (texts as they were, numbers as the number their text writes).
#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <set>

#include "../host/test_support.h"
#include "connectors/common/literal_lifting.h"
#include "connectors/common/snapshot_recordset.h"
#include "connectors/components/dam_main.h"
#include "connectors/components/format_main.h"
#include "connectors/sqlite/left_translation.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "engine/conversions.h"
#include "engine/copy_statements.h"
#include "engine/filtered_item_statements.h"
#include "engine/sql_text.h"
#include "engine/table_layouts.h"

namespace {

using namespace oq;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Untyped columns keep every literal as the kind it was written in.
sqlite3* OpenDb() {
  std::string schema =
      "create table facturas (interno, orden, factura);"
      "create table ncm ([001], [002], [059]); create table caratula (";
  for (auto name : layout::kCaratula) schema += std::string(name) + ",";
  schema.back() = ')';
  schema += "; create table subitems (id integer primary key";
  for (auto name : layout::kSubitems) schema += "," + std::string(name);
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db, (schema + ");").c_str(), nullptr, nullptr, nullptr);
  return db;
}
sqlite3* const g_db = OpenDb();

// Runs `sql`, which must be exactly one statement, with `texts` bound to ?1, ?2...; returns the
// values of every row, column by column, valid until the next call.
std::vector<sqlite3_value*> Run(const std::string& sql,
                                const std::vector<std::string>& texts = {}) {
  static std::vector<sqlite3_value*> kept;
  for (sqlite3_value* value : kept) sqlite3_value_free(value);
  kept.clear();
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  // No statement at all (only blanks or comments) prepares to null too.
  if (sqlite3_prepare_v2(g_db, sql.data(), static_cast<int>(sql.size()), &statement, &tail) != 0)
    std::fprintf(stderr, "%s\n%s\n", sqlite3_errmsg(g_db), sql.c_str());
  Check(statement != nullptr, "prepares");
  Check(tail == sql.data() + sql.size(), "one statement, nothing after it");
  for (std::size_t i = 0; i < texts.size(); ++i)
    sqlite3_bind_text(statement, static_cast<int>(i + 1), texts[i].data(),
                      static_cast<int>(texts[i].size()), SQLITE_TRANSIENT);
  int step;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(statement); ++c)
      kept.push_back(sqlite3_value_dup(sqlite3_column_value(statement, c)));
  }
  Check(step == SQLITE_DONE, "runs");
  sqlite3_finalize(statement);
  return kept;
}

std::string Text(sqlite3_value* value) {
  return {static_cast<const char*>(sqlite3_value_blob(value)),
          static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

// The program's SQLite connection on a database of its own, with statements' literals sent as
// bound values or as written.
std::shared_ptr<sqlite::SqliteConnection> OpenConnection(bool bound) {
  sqlite::OpenOptions options;
  options.createIfMissing = true;
  auto connection = sqlite::SqliteConnection::Open(":memory:", options);
  connection->SetReusePrepared(bound);
  std::string subitems = "create table subitems (id integer primary key";
  for (auto name : layout::kSubitems) subitems += "," + std::string(name);
  for (const std::string& statement :
       {subitems + ")", std::string("create table ncm ([001], [002], [059])")}) {
    connection->put_sql(statement);
    connection->ejecutar();
  }
  return connection;
}

// What `sql` does through `connection`: the refusal, or every value of `check` afterwards, each
// with its kind and, for a number, its exact bits.
std::string Outcome(sqlite::SqliteConnection& connection, const std::string& sql,
                    const std::string& check) {
  std::string outcome;
  try {
    connection.put_sql(sql);
    connection.ejecutar();
    Variant rows;
    connection.put_sql(check);
    connection.crearrs(rows);
    for (const auto& row :
         dynamic_cast<connectors::SnapshotRecordset&>(*rows.asObject()).AllRows()) {
      for (const Variant& value : row) {
        outcome += std::to_string(static_cast<int>(value.kind())) + ":";
        if (value.kind() == Variant::Kind::kDouble) {
          outcome += std::to_string(std::bit_cast<std::uint64_t>(value.toDouble()));
        } else if (value.isString()) {
          outcome += value.asString();
        } else if (!value.isNull()) {
          outcome += std::to_string(value.toInt64());
        }
        outcome += '|';
      }
    }
  } catch (const Failure& failure) {
    outcome = "refused: " + failure.description();
  }
  return outcome;
}

// A statement sent with its literals as bound values stores and finds exactly what its text does.
void CheckBoundValues(const std::string& sql, const std::string& check, const std::string& clear) {
  static const auto bound = OpenConnection(true);
  static const auto written = OpenConnection(false);
  Check(Outcome(*bound, sql, check) == Outcome(*written, sql, check), "bound values mean the same");
  for (const auto& connection : {bound, written}) {
    connection->put_sql(clear);
    connection->ejecutar();
  }
}

// `sql` lifted by matching it against `previous` gives what scanning it gives.
void CheckLiftLike(const std::string& previous, const std::string& sql) {
  using connectors::LiftingRules;
  for (const auto engine : {LiftingRules::Engine::kSqlite, LiftingRules::Engine::kPostgres}) {
    const auto lifted = connectors::LiftLiterals(previous, {engine});
    if (!lifted) continue;
    const auto matched = connectors::LiftLike(sql, previous, *lifted, {engine});
    if (!matched) continue;
    const auto scanned = connectors::LiftLiterals(sql, {engine});
    Check(scanned && scanned->shape == lifted->shape && scanned->literals.size() == matched->size(),
          "a matched statement has the shape its scan gives");
    for (std::size_t i = 0; i < matched->size(); ++i) {
      Check((*matched)[i].kind == scanned->literals[i].kind &&
                (*matched)[i].text == scanned->literals[i].text,
            "a matched statement has the literals its scan gives");
    }
  }
}

Variant RandomValue(FuzzedDataProvider& in) {
  static const char* const kHostile[] = {"0/*",        "*/,0); DELETE FROM caratula; --",
                                         "NaN",        ".5",
                                         "1,5",        "--1",
                                         "1e999",      "'",
                                         "(SELECT 1)", "-",
                                         "1e",         ""};
  // An input that runs out gives zeros: a whole number, so that short inputs still make items.
  const int kind = in.ConsumeIntegralInRange(0, 6);
  if (kind == 0) return Variant::Long(in.ConsumeIntegral<std::int32_t>());
  if (kind == 1) return Variant::String(in.ConsumeRandomLengthString(40));
  if (kind == 2) return Variant::String(in.PickValueInArray(kHostile));
  if (kind == 3) return Variant::LongLong(in.ConsumeIntegral<std::int64_t>());
  if (kind == 4) return Variant::Double(std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>()));
  return kind == 5 ? Variant::Boolean(in.ConsumeBool()) : Variant::Null();
}

// The stored value a number column must read back: the number its text writes, or that text.
void CheckNumber(sqlite3_value* got, const Variant& value, const std::string& separator) {
  const double number = value.kind() == Variant::Kind::kDouble ? value.toDouble() : 0.0;
  if (std::isnan(number)) return Check(Text(got) == "NaN", "NaN as its text");
  if (std::isinf(number)) return Check(sqlite3_value_double(got) == number, "infinity");
  const std::string text = rt::CStr(value, separator);
  const std::string dotted = rt::Replace(text, ",", ".");
  static const std::regex kDecimal(R"([+-]?[0-9]+(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
  if (!std::regex_match(dotted, kDecimal)) {
    return Check(sqlite3_value_type(got) == SQLITE_TEXT && Text(got) == text, "text kept");
  }
  const double want = std::strtod(dotted.c_str(), nullptr), read = sqlite3_value_double(got);
  Check(sqlite3_value_type(got) != SQLITE_TEXT &&
            (read == want || std::fabs(read - want) <= 1e-14 * std::fabs(want)),
        "number read back");
}

enum class Form { kText, kNumber, kEsNumero };
Form FormOf(const std::string& column) {
  static const std::set<std::string> kNumbers = {
      "Cantidad", "Preciounitario",          "valorderesp", "insumostemp", "insumosacons",
      "FOB",      "valorrelacionestadistica"};
  if (column == "KGNETO" || column == "KGBRUTO" || column == "SBTREI") return Form::kEsNumero;
  return kNumbers.contains(column) ? Form::kNumber : Form::kText;
}

bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Whether building a statement is refused for a NUL character.
template <typename Build>
bool Refused(Build build) {
  return test::FailureOf(build).number() == err::kInvalidProcedureCall;
}

void CheckItemInsert(FuzzedDataProvider& in, const std::string& number) {
  const std::string separator = in.ConsumeBool() ? "," : ".";
  const std::vector<std::string> names(layout::kSubitems.begin() + 1, layout::kSubitems.end());
  std::vector<Variant> row(names.size());
  for (Variant& value : row) value = RandomValue(in);
  connectors::SnapshotRecordset items({"fuzz"}, names, {row});
  // What each column must hold (the formatting component applied), and whether a build may fail.
  std::vector<Variant> written;
  bool nullNumber = false, nul = HasNul(number);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Form form = FormOf(names[i]);
    written.push_back(form == Form::kEsNumero
                          ? components::FormatMain().EsNumero(items.Fields(names[i]))
                          : row[i]);
    nullNumber = nullNumber || (form == Form::kNumber && row[i].isNull());
    nul = nul || (written[i].isString() && HasNul(written[i].asString()));
  }
  const auto licence = in.ConsumeBool() ? filtered::Licence::kConLAPI : filtered::Licence::kSinLAPI;
  std::string sql;
  try {
    sql = filtered::ItemInsert(licence, number, items, std::make_shared<components::FormatMain>(),
                               separator);
  } catch (const Failure& failure) {
    return Check((failure.number() == err::kInvalidUseOfNull && nullNumber) ||
                     (failure.number() == err::kInvalidProcedureCall && nul),
                 "refused only for a Null number or a NUL");
  }
  Check(!nullNumber && !nul, "a Null number and a NUL are refused");
  CheckBoundValues(sql, "select * from subitems", "delete from subitems");
  // The same insert with some values changed is lifted by matching it against this one exactly
  // as by scanning it, whenever the match takes it.
  std::vector<Variant> changed = row;
  for (Variant& value : changed) {
    if (in.ConsumeIntegralInRange(0, 3) == 0) value = RandomValue(in);
  }
  connectors::SnapshotRecordset otherItems({"fuzz"}, names, {changed});
  try {
    CheckLiftLike(sql, filtered::ItemInsert(licence, number, otherItems,
                                            std::make_shared<components::FormatMain>(), separator));
  } catch (const Failure&) {
    // A Null number or a NUL: refused as above.
  }
  Run(sql);
  const auto stored = Run("select * from subitems");
  Check(stored.size() == 1 + layout::kSubitemsColumnCount, "one row of every column");
  Check(Text(stored[1]) == number, "interno");
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (FormOf(names[i]) != Form::kText) {
      CheckNumber(stored[i + 2], written[i], separator);
    } else {
      const std::string text = row[i].isNull() ? "" : rt::CStr(row[i], separator);
      Check(sqlite3_value_type(stored[i + 2]) == SQLITE_TEXT && Text(stored[i + 2]) == text,
            "text read back");
    }
  }
  Run("delete from subitems");
}

// The lookup of an item's tariff code finds exactly the ncm row of its position, suffix and mark.
void CheckTariffLookup(const std::string& ncm) {
  components::DamMain dam;
  const auto lookup = [&](filtered::Licence licence) {
    return sqlite::TranslateLeftCalls(filtered::TariffLookup(licence, dam, ncm));
  };
  if (HasNul(ncm)) return Check(Refused([&] { lookup(filtered::Licence::kConLAPI); }), "NUL");
  Run("insert into ncm select substr(?1, 1, 10), substr(?1, 12, 3), '*'", {ncm});
  Check(Run(lookup(filtered::Licence::kConLAPI)).size() == 2, "the item's row is found");
  for (const auto licence : {filtered::Licence::kConLAPI, filtered::Licence::kSinLAPI}) {
    // Inserted as the lookup's own text would write the item's position and suffix.
    const std::string quoted = "'" + sql::Escape(ncm) + "'";
    CheckBoundValues("insert into ncm values (substr(" + quoted + ", 1, 10), substr(" + quoted +
                         ", 12, 3), '*')",
                     filtered::TariffLookup(licence, dam, ncm), "delete from ncm");
  }
  Check(Run(lookup(filtered::Licence::kSinLAPI)).empty(), "no row of the other mark");
  Run("delete from ncm");
}

// The set-based copies copy the rows of the source number, and only those, to the new number; the
// queries and the FOB update reach only the rows of the number they name.
void CheckInternoStatements(const std::string& source, const std::string& target, double total) {
  if (source == "decoy" || target == "decoy") return;
  if (HasNul(source) || HasNul(target)) {
    return Check(Refused([&] { InvoiceCopyStatement(source, target); }) &&
                     Refused([&] { CoverSheetCopyStatement(source, target, "0", true); }) &&
                     Refused([&] { ItemCopyStatement(source, target); }),
                 "NUL refused");
  }
  for (const std::string& interno : {source, std::string("decoy")}) {
    Run("insert into caratula (interno) values (?1)", {interno});
    Run("insert into facturas (interno, orden) values (?1, 1)", {interno});
    Run("insert into subitems (interno) values (?1)", {interno});
  }
  Run(InvoiceCopyStatement(source, target));
  Run(CoverSheetCopyStatement(source, target, "'2024-05-17'", false));
  Run(ItemCopyStatement(source, target));
  Check(Run(filtered::ItemsQuery(filtered::Licence::kSinLAPI, source)).size() ==
            (source == target ? 64u : 32u),
        "items of the source");
  const std::size_t copies = source == target ? 2 : 1;
  Check(Run(ExistenceQuery(target)).size() == copies, "existence");
  try {
    Run(FobUpdateStatement(total, ",", target));
    Check(sqlite3_changes(g_db) == static_cast<int>(copies), "FOB of the new number only");
  } catch (const Failure& failure) {
    Check(failure.number() == err::kOverflow && !std::isfinite(total), "only a non-finite total");
  }
  for (const char* table : {"caratula", "facturas", "subitems"}) {
    const auto count = [&](const std::string& interno) {
      return sqlite3_value_int(
          Run("select count(*) from " + std::string(table) + " where interno = ?1", {interno})[0]);
    };
    Check(count(target) == static_cast<int>(copies) && count("decoy") == 1,
          "copied to the new number only");
    Run("delete from " + std::string(table));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string source = in.ConsumeRandomLengthString(50);
  const std::string target = in.ConsumeRandomLengthString(50);
  const double total = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  CheckInternoStatements(source, target, total);
  CheckTariffLookup(in.ConsumeRandomLengthString(30));
  CheckItemInsert(in, target);
  return 0;
}
