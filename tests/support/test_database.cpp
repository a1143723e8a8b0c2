#include "test_database.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "demo/demo_schema.h"
#include "engine/conversions.h"
#include "engine/table_layouts.h"
#include "host/recordset.h"

namespace oq::test {

namespace {

// A value of the declared type of a column, different for each column and seed.
Variant SampleValue(demo::ColumnType type, std::size_t index, int seed) {
  const int n = static_cast<int>(index) + seed;
  switch (type.kind) {
    case demo::ColumnKind::kText: {
      std::string text = "v" + std::to_string(seed) + "." + std::to_string(index);
      const auto size = static_cast<std::size_t>(type.size);
      return Variant::String(type.size > 0 && text.size() > size ? text.substr(text.size() - size)
                                                                 : text);
    }
    case demo::ColumnKind::kNumber: {
      const int digitsBefore = type.size - type.scale;
      const double whole = std::fmod(n, (digitsBefore >= 3 ? 100 : std::pow(10, digitsBefore)) - 1);
      return Variant::Double(type.scale > 0 ? whole + 0.25 : whole);
    }
    case demo::ColumnKind::kInteger:
      return Variant::Long(n);
    case demo::ColumnKind::kDate: {
      const int day = 1 + n % 28;
      return Variant::String("2021-0" + std::to_string(1 + n % 9) + (day < 10 ? "-0" : "-") +
                             std::to_string(day));
    }
  }
  return Variant::Null();
}

std::optional<double> AsNumber(const Variant& value) {
  if (value.isNumeric()) return value.toDouble();
  if (!value.isString() || value.asString().empty()) return std::nullopt;
  const std::string& text = value.asString();
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

std::string Quoted(const std::string& text) { return SqlLiteral(Variant::String(text)); }

}  // namespace

std::string SqlLiteral(const Variant& value) {
  if (value.isNull() || value.isEmpty()) return "NULL";
  if (value.isString()) return "'" + rt::Replace(value.asString(), "'", "''") + "'";
  if (value.kind() == Variant::Kind::kBoolean) return value.asBoolean() ? "1" : "0";
  const double number = value.toDouble();
  if (std::isnan(number)) return "'NaN'";  // only the server holds one
  if (std::isinf(number)) return number > 0 ? "1e999" : "-1e999";
  return rt::NumberToText(number, ".");
}

bool SameValue(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isString() && b.isString() && a.asString() == b.asString()) return true;
  const std::optional<double> x = AsNumber(a);
  const std::optional<double> y = AsNumber(b);
  if (!x || !y) return false;
  if (*x == *y || (std::isnan(*x) && std::isnan(*y))) return true;
  return std::fabs(*x - *y) <= 1e-9 * std::max({1.0, std::fabs(*x), std::fabs(*y)});
}

std::string Describe(const Variant& value) {
  if (value.isNull()) return "Null";
  if (value.isEmpty()) return "Empty";
  if (value.isString()) return "'" + value.asString() + "'";
  if (value.isObject()) return "<object>";
  return rt::NumberToText(value.toDouble(), ".");
}

TestDatabase::TestDatabase(std::shared_ptr<TestBackend> backend)
    : backend_(std::move(backend)), databases_(backend_->create(folder_.path())) {}

// The folder goes after the cleanup, with the last member.
TestDatabase::~TestDatabase() {
  std::function<void()> cleanup = std::move(databases_.cleanup);
  databases_ = {};
  if (cleanup) cleanup();
}

RowValues TestDatabase::SampleCaratula(int seed) {
  RowValues values;
  for (std::size_t i = 0; i < layout::kCaratulaColumnCount; ++i) {
    if (i == layout::kCaratulaInterno) continue;
    values[std::string(layout::kCaratula[i])] = SampleValue(demo::CaratulaColumnType(i), i, seed);
  }
  for (const char* name : {"fobcoddivisas", "ONCCACortes", "DATOCOMPRADOR"}) {
    values[name] = Variant::Null();
  }
  return values;
}

RowValues TestDatabase::SampleSubitem(int seed) {
  RowValues values;
  for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
    values[std::string(layout::kSubitems[i])] = SampleValue(demo::SubitemsColumnType(i), i, seed);
  }
  return values;
}

void TestDatabase::Insert(const std::string& table, const std::string& interno,
                          const RowValues& values) {
  std::string columns = "interno";
  std::string literals = Quoted(interno);
  for (const auto& [name, value] : values) {
    if (name == "interno") continue;
    columns += ", " + name;
    literals += ", " + SqlLiteral(value);
  }
  Execute("insert into " + table + " (" + columns + ") values (" + literals + ")");
}

void TestDatabase::InsertFactura(const std::string& interno, int orden,
                                 const std::string& factura) {
  Insert("facturas", interno,
         {{"orden", Variant::Long(orden)}, {"factura", Variant::String(factura)}});
}

void TestDatabase::InsertNcm(const std::string& position, const std::string& suffix,
                             const Variant& mark) {
  const Dialect dialect = backend_->dialect;
  ncm()->put_sql("insert into ncm (" + demo::QuotedName("001", dialect) + ", " +
                 demo::QuotedName("002", dialect) + ", " + demo::QuotedName("059", dialect) +
                 ") values (" + Quoted(position) + ", " + Quoted(suffix) + ", " + SqlLiteral(mark) +
                 ")");
  ncm()->ejecutar();
}

void TestDatabase::MultiplyLicensedItems(const std::string& interno, int times) {
  InsertNcm("1000000000", "001", Variant::String("*"));
  const std::string where = " where interno = " + Quoted(interno);
  Execute("update subitems set ncm = '1000000000 001'" + where);
  const std::string columns =
      "interno, ncm, FOB, Cantidad, Preciounitario, valorrelacionestadistica, insumostemp, "
      "insumosacons, valorderesp, KGNETO, KGBRUTO, SBTREI";
  for (int i = 0; i < times; ++i) {
    Execute("insert into subitems (" + columns + ") select " + columns + " from subitems" + where);
  }
}

void TestDatabase::InsertInterno(const std::string& interno, int seed, int invoices, int items) {
  Insert("caratula", interno, SampleCaratula(seed));
  for (int orden = 1; orden <= invoices; ++orden) {
    InsertFactura(interno, orden, "F" + std::to_string(seed) + "-" + std::to_string(orden));
  }
  for (int item = 0; item < items; ++item)
    Insert("subitems", interno, SampleSubitem(seed * 100 + item));
}

std::optional<std::vector<Variant>> TestDatabase::CaratulaRow(const std::string& interno) const {
  const auto rows = Query("select * from caratula where interno = " + Quoted(interno),
                          {layout::kCaratula.begin(), layout::kCaratula.end()});
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

std::vector<std::vector<Variant>> TestDatabase::SubitemRows(const std::string& interno) const {
  std::vector<std::string> columns = {"id"};
  columns.insert(columns.end(), layout::kSubitems.begin(), layout::kSubitems.end());
  return Query("select * from subitems where interno = " + Quoted(interno) + " order by id",
               columns);
}

long TestDatabase::Count(const std::string& table, const std::string& interno) const {
  const auto rows =
      Query("select count(*) as n from " + table + " where interno = " + Quoted(interno), {"n"});
  return static_cast<long>(rows.at(0).at(0).toInt64());
}

std::vector<std::vector<Variant>> TestDatabase::Query(
    const std::string& sql, const std::vector<std::string>& columns) const {
  internos()->put_sql(sql);
  Variant holder;
  internos()->crearrs(holder);
  auto recordset = std::dynamic_pointer_cast<Recordset>(holder.asObject());
  if (!recordset) throw std::runtime_error("crearrs left no record set");
  std::vector<std::vector<Variant>> rows;
  for (; !recordset->Eof(); recordset->MoveNext()) {
    rows.emplace_back();
    for (const std::string& column : columns)
      rows.back().push_back(recordset->Fields(column).Value());
  }
  recordset->Close();
  return rows;
}

void TestDatabase::Execute(const std::string& sql) const {
  internos()->put_sql(sql);
  internos()->ejecutar();
}

}  // namespace oq::test
