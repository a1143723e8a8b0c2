// The copies that keep only the items whose tariff code carries (lpCopiar_ConLAPI) or lacks
// (lpCopiar_sinLAPI) the licence mark, with the cover sheet's FOB summed from the items kept.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "connectors/components/format_main.h"
#include "demo/demo_schema.h"
#include "engine/filtered_item_copy.h"
#include "engine/fob_cover_sheet_copy.h"
#include "engine/table_layouts.h"
#include "support/copy_fixture.h"
#include "support/faulty_connection.h"

namespace oq::test {
namespace {

const ShownMessage kFin{64, "Fin del Proceso"};
const ShownMessage kZeroFob{64,
                            "No se encontraron Subitems que cumplan la condición especificada. La "
                            "carátula tendrá valor 0 de FOB"};

// Values no real item holds, which a copy must write back as they were: in texts quotes, comment
// markers and statement separators; in numbers texts, NaN, infinities and extremes. SQLite holds
// any value in any column, the server only values of the declared type and width.
Variant Hostile(demo::ColumnType type, std::size_t n, bool sqlite) {
  const double inf = std::numeric_limits<double>::infinity();
  const auto S = [](const char* text) { return Variant::String(text); };
  if (type.kind == demo::ColumnKind::kText) {
    const Variant text = std::vector{S("O'Brien '' \\' --"), S("*/); DELETE FROM caratula; --"),
                                     Variant::Null(), S("Ñandú € 😀 '")}[n % 4];
    return sqlite || type.size >= 30 || text.isNull() ? text : S("'");
  }
  const auto D = [](double number) { return Variant::Double(number); };
  if (sqlite) {
    return std::vector{S("0/*"), S("1); --"), S("(SELECT count(*)*1000 FROM caratula)"),
                       S("NaN"), D(inf),      D(-inf),
                       D(1e308), D(-1e-300)}[n % 8];
  }
  const double big = 9.5 * std::pow(10, type.size - type.scale - 1);
  return D(std::vector{std::nan(""), big, -std::pow(10, -type.scale)}[n % 3]);
}

// What a filtered copy writes for a source item: a Null text as the empty text, KGNETO, KGBRUTO
// and SBTREI as the formatting component reads them.
std::vector<Variant> FilteredCopyOf(std::vector<Variant> item) {
  struct Plain : Field {
    const std::string& Name() const override { return name; }
    Variant Value() const override { return value; }
    std::string name;
    Variant value;
  };
  for (std::size_t c = 2; c < item.size(); ++c) {
    const std::string_view column = layout::kSubitems[c - 1];
    if (column == "KGNETO" || column == "KGBRUTO" || column == "SBTREI") {
      Plain field;
      field.value = item[c];
      item[c] = components::FormatMain().EsNumero(field);
    } else if (item[c].isNull()) {
      item[c] = Variant::String("");
    }
  }
  return item;
}

class FilteredCopyTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    StartSession("A");
    RowValues sheet = TestDatabase::SampleCaratula(1);
    sheet["fobdivisas"] = Variant::Double(99.5);
    sheet["identificador_externo"] = Variant::String("EXT-1");
    db_->Insert("caratula", "A", sheet);
    db_->InsertFactura("A", 1, "F-1");
    // The real component, counted, to see how often a copy creates it.
    ComponentRegistry::instance().add("cFORMAT.Main", [this] {
      ++formatsCreated_;
      return std::make_shared<components::FormatMain>();
    });
  }
  void TearDown() override {
    components::RegisterHostComponents();  // drops the counting factory, which points at this test
    CopyFixture::TearDown();
  }

  // An item of A: the number columns not given are 1, every other column not given Null.
  void AddItem(const std::string& ncm, RowValues values = {}) {
    for (const char* number : {"Cantidad", "Preciounitario", "valorrelacionestadistica",
                               "insumostemp", "insumosacons", "valorderesp", "FOB"}) {
      values.try_emplace(number, Variant::Long(1));
    }
    for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
      values.try_emplace(std::string(layout::kSubitems[i]), Variant::Null());
    }
    values["ncm"] = Variant::String(ncm);
    db_->Insert("subitems", "A", values);
  }
  std::vector<std::string> Descriptions(const std::string& interno) {
    std::vector<std::string> texts;
    for (const auto& row : db_->SubitemRows(interno)) texts.push_back(row[12].asString());
    return texts;
  }
  Variant Fob(const std::string& interno) {
    return db_->CaratulaRow(interno).value()[layout::kCaratulaFob];
  }

  int formatsCreated_ = 0;
};

TEST_P(FilteredCopyTest, EachRunKeepsTheItemsOfItsMarkAndSumsTheirFob) {
  struct Case {
    const char* ncm;
    std::vector<Variant> marks;  // the ncm rows of the item's position and suffix
    const char* keptBy;          // "con", "sin" or ""
  };
  const std::vector<Case> cases = {
      {"1111111111 001", {Variant::String("*")}, "con"},
      {"2222222222 002", {Variant::String("")}, "sin"},
      {"3333333333 003", {Variant::Null()}, ""},
      {"4444444444 004", {Variant::String("X")}, ""},
      {"5555555555 005", {}, ""},
      {"6666666666 006", {Variant::String("*"), Variant::String("*")}, "con"},
      {"8471.30.00 008", {Variant::String("")}, "sin"},   // a position that is no number
      {"0000000000 009", {Variant::String("*")}, ""},     // reads as 0, which is not above 0
      {"0.00-00000 010", {Variant::String("*")}, "con"},  // no number, however it starts
      {"+100000000 011", {Variant::String("*")}, "con"},  // a signed position reads as a number
      {"-100000000 012", {Variant::String("*")}, ""},
  };
  std::vector<std::string> con, sin;
  double fob = 0;
  for (const Case& c : cases) {
    fob += 1.25;
    AddItem(c.ncm, {{"descripcion", Variant::String(c.ncm)}, {"FOB", Variant::Double(-fob)}});
    for (const Variant& mark : c.marks) db_->InsertNcm(std::string(c.ncm, 10), c.ncm + 11, mark);
    if (std::string(c.keptBy) == "con") con.push_back(c.ncm);
    if (std::string(c.keptBy) == "sin") sin.push_back(c.ncm);
  }
  db_->InsertNcm("7777777777", "007", Variant::String("*"));  // position without its suffix
  AddItem("7777777777 070", {{"descripcion", Variant::String("other suffix")}});
  // The runs have no length limit of their own; a server that enforces the declared width of
  // interno (40) would refuse a longer number itself.
  const std::string longNumber(GetParam()->dialect == Dialect::kSqlite ? 45 : 40, 'N');
  platform_.setDecimalSeparator(",");  // numbers still go into statements with a point
  auto internos = std::make_shared<FaultyConnection>(db_->internos());
  basGLOBAL::State().internos = internos;

  Run(longNumber, "5", &lpCopiar_ConLAPI);
  EXPECT_EQ(internos->statements().back(),
            "update caratula set fobdivisas = -32.50 where interno = '" + longNumber + "'");
  Run("S", "5", &lpCopiar_sinLAPI);
  EXPECT_EQ(Descriptions(longNumber), con);
  EXPECT_EQ(Descriptions("S"), sin);
  EXPECT_TRUE(SameValue(Fob(longNumber), Variant::Double(-1.25 - 7.5 - 11.25 - 12.5)));
  EXPECT_TRUE(SameValue(Fob("S"), Variant::Double(-2.5 - 8.75)));
  EXPECT_EQ(form_.txtLOG, "Proceso terminado...");
  EXPECT_EQ(form_.txtCopias, "5");
  EXPECT_EQ(formatsCreated_, 2);  // once per copy with items, however many items
  EXPECT_EQ(platform_.procesosSetting("S"), "SI");

  Run("A", "1", &lpCopiar_ConLAPI);  // the source's own number is taken
  EXPECT_EQ(form_.txtLOG, "El interno A ya existe .-\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("subitems", "A"), 12);
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kFin, kFin, kFin}));
  EXPECT_EQ(platform_.pointers(), (std::vector<int>{1, 1, 1}));
}

// Numbers unquoted, texts quoted, and the blanks each variant has always sent, which the host's
// logs show.
TEST_P(FilteredCopyTest, WritesEachItemInTheStatementOfItsVariant) {
  auto internos = std::make_shared<FaultyConnection>(db_->internos());
  basGLOBAL::State().internos = internos;
  db_->InsertNcm("1111111111", "001", Variant::String("*"));
  db_->InsertNcm("2222222222", "002", Variant::String(""));
  AddItem("1111111111 001", {{"SBTREI", Variant::String(" 2.5 ")}, {"FOB", Variant::Double(-2.5)}});
  AddItem("2222222222 002", {{"descripcion", Variant::String("x'y")}});
  const std::string shared =
      "insert into subitems (interno,IdCatalogo,IDARTICULO,ncm,IdUnidad,Cantidad,Preciounitario, "
      "Estadistica,valorrelacionestadistica,IdPais,EstadoMerc,descripcion, "
      "Biendeuso,codprorrateo,insumostemp,insumosacons,cancelaciones, "
      "cancCantidad,cancnroitem,cancnrosubitem,deresp,valorderesp,SUFIJOS, "
      "lapi,KGNETO,KGBRUTO,FOB,SBTREI,ITFILLER, descripcion_maria,";
  ASSERT_TRUE(AgregarSubitems_ConLAPI(ctx_, "A", "C"));
  ASSERT_TRUE(AgregarSubitems_sinLAPI(ctx_, "A", "S"));
  EXPECT_EQ(internos->statements()[1],
            shared +
                " idpaisproc, certorig, naladisa) values ('C','','','1111111111 001','',1,1, "
                "'',1,'','','', '','',1,1,'', '','','','',1,'', '',0,0,-2.5,2.5,'','','','','')");
  EXPECT_EQ(internos->statements()[3],
            shared +
                "idpaisproc , certorig, naladisa) values ('S','','','2222222222 002','',1,1, "
                "'',1,'','','x''y', '','',1,1,'', '','','','',1,'', '',0,0,1,0,'','','','','')");
}

TEST_P(FilteredCopyTest, AFalseStepIsLoggedAndTheRunGoesOn) {
  // No item kept: the cover sheet is made with FOB 0 and a notice.
  Run("E", "1", &lpCopiar_sinLAPI);
  EXPECT_EQ(form_.txtLOG, "Error en agregar los Subitem's E\r\nProceso terminado...");
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kZeroFob, kFin}));
  EXPECT_TRUE(SameValue(Fob("E"), Variant::Long(0)));
  EXPECT_EQ(db_->CaratulaRow("E").value().back().asString(), "");  // identificador_externo
  EXPECT_EQ(db_->Count("facturas", "E"), 1);
  EXPECT_EQ(formatsCreated_, 0);

  // A kept item whose number column is Null after a good one: the one before stays.
  AddItem("1111111111 001", {{"Cantidad", Variant::Null()}});  // skipped: its Null is never read
  AddItem("2222222222 002", {{"FOB", Variant::Long(4)}});
  AddItem("2222222222 002", {{"Cantidad", Variant::Null()}});
  AddItem("2222222222 002", {{"FOB", Variant::Long(8)}});
  db_->InsertNcm("2222222222", "002", Variant::String(""));
  platform_.clear();
  Run("F", "1", &lpCopiar_sinLAPI);
  EXPECT_EQ(form_.txtLOG, "Error en agregar los Subitem's F\r\nProceso terminado...");
  EXPECT_EQ(platform_.messages(),
            (std::vector<ShownMessage>{{0,
                                        "Error 94 (Invalid use of Null) in procedure "
                                        "AgregarSubitems_sinLAPI of Formulario frmMAIN"},
                                       kFin}));
  EXPECT_EQ(db_->Count("subitems", "F"), 1);
  EXPECT_TRUE(SameValue(Fob("F"), Variant::Long(4)));

  // A host's connection that answers a lookup with Null has found nothing.
  auto ncm = std::make_shared<FaultyConnection>(db_->ncm());
  ncm->answer(Variant::Null());
  basGLOBAL::State().ncm = ncm;
  platform_.clear();
  Run("H", "1", &lpCopiar_sinLAPI);
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kZeroFob, kFin}));

  // A source without a cover sheet: its invoices are copied, the cover sheet step is false.
  db_->InsertFactura("B", 1, "F-B");
  StartSession("B");
  platform_.clear();
  Run("M", "1", &lpCopiar_ConLAPI);
  EXPECT_EQ(form_.txtLOG,
            "Error en agregar los Subitem's M\r\nError en agregar la Caratula M\r\nProceso "
            "terminado...");
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kZeroFob, kFin}));
  EXPECT_EQ(db_->Count("facturas", "M"), 1);
  EXPECT_FALSE(platform_.procesosSetting("M"));

  // The cover sheet step failing at its first statement, the invoices' insert.
  auto faulty = std::make_shared<FaultyConnection>(db_->internos());
  StartSession("A", faulty);
  faulty->failAt(3);  // after the existence check and the items' query, none of them kept
  Run("G", "1", &lpCopiar_ConLAPI);
  EXPECT_EQ(form_.txtLOG, "Error en agregar la Caratula G\r\nProceso terminado...");
}

TEST_P(FilteredCopyTest, ANullFobSumIsReportedAndKeepsTheSourcesFob) {
  for (int i = 0; i < 2; ++i) db_->Insert("subitems", "N", {{"FOB", Variant::Null()}});
  EXPECT_TRUE(AgregarCaratulaRecalculandoFOB(ctx_, "A", "N"));
  EXPECT_EQ(
      platform_.messages(),
      (std::vector<ShownMessage>{
          {16, "94 - Invalid use of Null\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno"}}));
  EXPECT_TRUE(SameValue(Fob("N"), Variant::Double(99.5)));
}

TEST_P(FilteredCopyTest, TwinsReportAFailureOfTheirOwnDifferently) {
  form_.txtLOG = "old";
  Run("N", "1e400", &lpCopiar_ConLAPI);  // beyond a double: reading the copies box overflows
  Run("N", "1e400", &lpCopiar_sinLAPI);
  EXPECT_EQ(platform_.messages(),
            (std::vector<ShownMessage>{
                {0,
                 "Overflow\r\n\r\n6 - seccion[oQUARDELINO.frmMAIN.lpCopiar_ConLAPI Linea 0 "
                 "]::oQUARDELINO"},
                {16, "6 - Overflow\r\n\r\nSección cQUARDELINO.frmMAIN.lpCopiar"}}));
  EXPECT_EQ(platform_.pointers(), (std::vector<int>{1, 1}));
  EXPECT_EQ(form_.txtLOG, "old");
  EXPECT_FALSE(db_->CaratulaRow("N"));
}

TEST_P(FilteredCopyTest, HostileValuesAndNumbersAreCopiedAsTheyWere) {
  const bool sqlite = GetParam()->dialect == Dialect::kSqlite;
  const std::string source = "A'; --";
  db_->InsertInterno(source, 7, 1, 0);
  // Two items, each kept by one variant; on SQLite a third, kept too, holds a NUL, which cannot
  // be written into any statement.
  const std::vector<std::string> ncms = {"1111111111 001'--;/*", "2222222222 002*/;--",
                                         "1111111111 001"};
  for (std::size_t item = 0; item < (sqlite ? 3u : 2u); ++item) {
    RowValues values;
    for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
      values[std::string(layout::kSubitems[i])] =
          Hostile(demo::SubitemsColumnType(i), i + 3 * item, sqlite);
    }
    values["ncm"] = Variant::String(ncms[item]);
    values["FOB"] = Variant::Double(-0.01);  // a total the cover sheet can hold
    db_->Insert("subitems", source, values);
  }
  if (sqlite) {
    db_->Execute("update subitems set descripcion = 'a' || char(0) || 'b' where ncm = '" + ncms[2] +
                 "'");
  }
  db_->InsertNcm("1111111111", "001", Variant::String("*"));
  db_->InsertNcm("2222222222", "002", Variant::String(""));
  StartSession(source);
  platform_.setDecimalSeparator(",");
  const auto items = db_->SubitemRows(source);

  Run("C*/;'", "1", &lpCopiar_ConLAPI);
  Run("S;--'", "1", &lpCopiar_sinLAPI);
  ExpectSameValues(db_->SubitemRows("C*/;'"), {FilteredCopyOf(items[0])}, 2);
  ExpectSameValues(db_->SubitemRows("S;--'"), {FilteredCopyOf(items[1])}, 2);
  const ShownMessage nul{0,
                         "Error 5 (Invalid procedure call or argument: a text holding a NUL "
                         "character cannot be written into a statement) in procedure "
                         "AgregarSubitems_ConLAPI of Formulario frmMAIN"};
  std::vector<ShownMessage> messages = {kFin, kFin};
  if (sqlite) messages.insert(messages.begin(), nul);
  EXPECT_EQ(platform_.messages(), messages);
  Run("N' OR ''='");  // the full copy of the same source
  EXPECT_EQ(db_->Count("subitems", "N' OR ''='"), sqlite ? 3 : 2);
  EXPECT_EQ(db_->Count("facturas", "N' OR ''='"), 1);
  EXPECT_EQ(db_->Count("caratula", "A"), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, FilteredCopyTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
