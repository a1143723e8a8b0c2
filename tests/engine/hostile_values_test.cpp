// Copies of an interno whose every column holds a value no real interno holds: quotes, comment
// markers, statement separators, subqueries, NaN, infinities, extreme numbers, Nulls, long and
// non-ASCII texts. No copy may touch another interno, and each copies the values as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "connectors/components/format_main.h"
#include "demo/demo_schema.h"
#include "engine/copy_runs.h"
#include "engine/table_layouts.h"
#include "support/copy_fixture.h"

namespace oq::test {

namespace {

using Row = std::vector<Variant>;
using Rows = std::vector<Row>;
Variant S(std::string text) { return Variant::String(std::move(text)); }

// SQLite holds any value in any column: texts, and in the other columns hostile texts, infinities
// and extreme numbers. The server keeps declared types and widths, and holds NaN in a numeric.
Variant Hostile(demo::ColumnType type, std::size_t n, bool sqlite) {
  const double inf = std::numeric_limits<double>::infinity();
  static const std::vector<Variant> kTexts = {
      S("O'Brien '' \\' --"), S("*/); DELETE FROM caratula; --"), S("/*"), Variant::Null(),
      S("Ñandú ç € 😀 '"),     S(std::string(5000, 'x')),          S("NaN")};
  static const std::vector<Variant> kOthers = {S("0/*"),
                                               S("(SELECT count(*)*1000 FROM caratula)"),
                                               S("NaN"),
                                               Variant::Double(inf),
                                               Variant::Double(-inf),
                                               Variant::Double(1e308),
                                               Variant::Double(-1e-300),
                                               S("1); --")};
  const std::vector<Variant>& pick = type.kind == demo::ColumnKind::kText ? kTexts : kOthers;
  if (sqlite) return pick[n % pick.size()];
  switch (type.kind) {
    case demo::ColumnKind::kText: {  // cut to the column's width in characters
      std::string text = pick[n % pick.size()].isNull() ? "" : pick[n % pick.size()].asString();
      std::size_t end = 0;
      for (std::size_t chars = 0; end < text.size(); ++end) {
        if ((text[end] & 0xC0) != 0x80 && ++chars > static_cast<std::size_t>(type.size)) break;
      }
      return n % pick.size() == 3 ? Variant::Null() : S(text.substr(0, end));
    }
    case demo::ColumnKind::kNumber: {
      const double big = 9.5 * std::pow(10, type.size - type.scale - 1);
      return Variant::Double(std::vector{std::nan(""), big, -std::pow(10, -type.scale)}[n % 3]);
    }
    case demo::ColumnKind::kInteger:
      return Variant::Long(std::numeric_limits<std::int32_t>::min());
    default:
      return S("0001-01-01");
  }
}

bool Same(const Variant& a, const Variant& b) {
  const auto nan = [](const Variant& v) {
    return v.kind() == Variant::Kind::kDouble && std::isnan(v.toDouble());
  };
  return a == b || (nan(a) && nan(b)) || SameValue(a, b);
}

void ExpectSameRows(const Rows& got, const Rows& want, std::vector<std::size_t> skip,
                    const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t r = 0; r < got.size(); ++r) {
    for (std::size_t c = 0; c < got[r].size(); ++c) {
      if (std::find(skip.begin(), skip.end(), c) != skip.end()) continue;
      EXPECT_TRUE(Same(got[r][c], want[r][c]))
          << what << " row " << r << " column " << c << ": " << Describe(got[r][c])
          << " instead of " << Describe(want[r][c]);
    }
  }
}

// What a filtered copy writes for a source item: a Null text as the empty text, KGNETO, KGBRUTO
// and SBTREI as the formatting component reads them.
Row FilteredCopyOf(Row item) {
  struct Plain : Field {
    Variant value;
    const std::string& Name() const override { return name; }
    Variant Value() const override { return value; }
    std::string name;
  };
  for (std::size_t c = 2; c < item.size(); ++c) {
    const std::string_view column = layout::kSubitems[c - 1];
    Plain field;
    field.value = item[c];
    if (column == "KGNETO" || column == "KGBRUTO" || column == "SBTREI") {
      item[c] = components::FormatMain().EsNumero(field);
    } else if (item[c].isNull()) {
      item[c] = S("");
    }
  }
  return item;
}

class HostileValuesTest : public CopyFixture {};

TEST_P(HostileValuesTest, EveryRunCopiesOnlyItsInternoAndEveryValueAsItWas) {
  const bool sqlite = GetParam()->dialect() == Dialect::kSqlite;
  platform_.setDecimalSeparator(",");  // numbers still go into statements with a point
  SetUpSession({db_->internos(), db_->ncm(), "'2024-05-17'", "A'; --", MakeDataAccessManager(), 0});
  db_->InsertInterno("V", 7, 2, 2);  // the interno the injections aim at
  RowValues caratula;
  for (std::size_t i = 0; i < layout::kCaratulaColumnCount; ++i) {
    caratula[std::string(layout::kCaratula[i])] = Hostile(demo::CaratulaColumnType(i), i, sqlite);
  }
  db_->InsertCaratula("A'; --", caratula);
  db_->InsertFactura("A'; --", 1, "F' --");
  db_->InsertFactura("A'; --", 2, "*/;/*");
  const std::vector<std::string> ncms = {"1111111111 001'--;/*", "2222222222 002*/;--",
                                         "3333333333 003", "1111111111 001"};
  // Number values are dealt out in turn, so that the two kept items hold every one of them.
  std::size_t dealt = 0;
  for (std::size_t item = 0; item < (sqlite ? 4u : 3u); ++item) {
    RowValues values;
    for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
      const demo::ColumnType type = demo::SubitemsColumnType(i);
      const bool text = type.kind == demo::ColumnKind::kText;
      values[std::string(layout::kSubitems[i])] =
          item == 2 && !text ? Variant::Null()  // never kept
                             : Hostile(type, text ? i + item : dealt++, sqlite);
    }
    values["ncm"] = S(ncms[item]);
    values["FOB"] = item == 0 && !sqlite ? Variant::Double(9.5e15) : Variant::Double(-0.01);
    if (item == 0 && sqlite) {  // the statement this item once turned its insert into
      values["FOB"] = S("0/*");
      values["ITFILLER"] = S("*/,0,0,0,0,0,0); DELETE FROM caratula WHERE interno='V'; --");
      values["Cantidad"] = S("(SELECT count(*)*1000 FROM caratula)");
    }
    db_->InsertSubitem("A'; --", values);
  }
  // A NUL cannot be written into any statement: the item that holds one is refused.
  if (sqlite)
    db_->Execute(
        "update subitems set descripcion = 'a' || char(0) || 'b' where ncm = '1111111111 001'");
  db_->InsertNcm("1111111111", "001", S("*"));
  db_->InsertNcm("2222222222", "002", S(""));

  // Every row that is not under `number`, table by table.
  const auto others = [&](const std::string& number) {
    const std::string where = " where interno <> " + SqlLiteral(S(number));
    std::vector<std::string> items = {"id"};
    items.insert(items.end(), layout::kSubitems.begin(), layout::kSubitems.end());
    return std::vector<Rows>{
        db_->Query("select * from caratula" + where + " order by interno",
                   {layout::kCaratula.begin(), layout::kCaratula.end()}),
        db_->Query("select * from facturas" + where + " order by interno, orden",
                   {"interno", "orden", "factura"}),
        db_->Query("select * from subitems" + where + " order by id", items)};
  };
  const Row caratulaA = db_->CaratulaRow("A'; --").value();
  const Rows facturasA = db_->FacturaRows("A'; --");
  const Rows source = db_->SubitemRows("A'; --");
  const ShownMessage fin{64, "Fin del Proceso"};
  const ShownMessage nul{0,
                         "Error 5 (Invalid procedure call or argument: a text holding a NUL "
                         "character cannot be written into a statement) in procedure "
                         "AgregarSubitems_ConLAPI of Formulario frmMAIN"};
  struct Case {
    void (*run)(CopyContext&);
    std::string number;
    Rows items;                          // as the copy writes them
    std::vector<std::size_t> notCopied;  // cover-sheet columns the copy sets itself
    Variant fob;                         // the recalculated FOB, or the source's
    std::vector<ShownMessage> messages;
  };
  const std::vector<std::size_t> dates = {37, 45, 74}, recalculated = {6, 37, 45, 74, 86};
  const Case cases[] = {
      {&lpCopiar, "N' OR ''='", source, dates, caratulaA[6], {fin}},
      {&lpCopiar_ConLAPI,
       "C*/;'",
       {FilteredCopyOf(source[0])},
       recalculated,
       Variant::Double(sqlite ? 0 : 9.5e15),
       sqlite ? std::vector<ShownMessage>{nul, fin} : std::vector<ShownMessage>{fin}},
      {&lpCopiar_sinLAPI,
       "S;--'",
       {FilteredCopyOf(source[1])},
       recalculated,
       Variant::Double(-0.01),
       {fin}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const std::vector<Rows> before = others(c.number);
    platform_.clear();
    form_.Text1 = c.number;
    c.run(ctx_);
    EXPECT_EQ(platform_.messages(), c.messages);
    const std::vector<Rows> after = others(c.number);
    for (std::size_t t = 0; t < after.size(); ++t) ExpectSameRows(after[t], before[t], {}, "other");
    const Row copy = db_->CaratulaRow(c.number).value();
    ExpectSameRows({copy}, {caratulaA}, c.notCopied, "caratula");
    EXPECT_TRUE(Same(copy[6], c.fob)) << Describe(copy[6]);
    ExpectSameRows(db_->FacturaRows(c.number), facturasA, {}, "facturas");
    ExpectSameRows(db_->SubitemRows(c.number), c.items, {0, 1}, "subitems");
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileValuesTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
