#include "engine/filtered_item_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "connectors/components/format_main.h"
#include "connectors/components/host_components.h"
#include "engine/session_objects.h"
#include "engine/table_layouts.h"
#include "host/basGLOBAL.h"
#include "host/component_registry.h"
#include "support/copy_fixture.h"
#include "support/recording_connection.h"

namespace oq::test {
namespace {

class FilteredItemCopyTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    SetUpSession({db_->internos(), db_->ncm(), "'2024-05-17'", "A", MakeDataAccessManager(), 0});
    // The real component, counted, to see how often a call creates it.
    ComponentRegistry::instance().add("cFORMAT.Main", [this] {
      ++formatsCreated_;
      return std::make_shared<components::FormatMain>();
    });
  }
  void TearDown() override {
    components::RegisterHostComponents();  // drop the counting factory, which points at this test
    CopyFixture::TearDown();
  }

  // An item of the source: the number columns not given are 1, every other column not given Null.
  void AddItem(const std::string& ncm, RowValues values = {}) {
    for (const char* number : {"Cantidad", "Preciounitario", "valorrelacionestadistica",
                               "insumostemp", "insumosacons", "valorderesp", "FOB"}) {
      values.try_emplace(number, Variant::Long(1));
    }
    for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
      values.try_emplace(std::string(layout::kSubitems[i]), Variant::Null());
    }
    values["ncm"] = Variant::String(ncm);
    db_->InsertSubitem("A", values);
  }
  std::vector<std::string> Descriptions(const std::string& interno) {
    std::vector<std::string> texts;
    for (const auto& row : db_->SubitemRows(interno)) texts.push_back(row[12].asString());
    return texts;
  }

  int formatsCreated_ = 0;
};

TEST_P(FilteredItemCopyTest, EachVariantKeepsTheItemsOfItsMark) {
  // A source without items gives False quietly, without creating the format component.
  EXPECT_FALSE(AgregarSubitems_ConLAPI(ctx_, "A", "C"));
  EXPECT_FALSE(AgregarSubitems_sinLAPI(ctx_, "A", "S"));
  EXPECT_EQ(formatsCreated_, 0);
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
      {"8471.30.00 008", {Variant::String("")}, "sin"},  // a position that is no number
      {"0000000000 009", {Variant::String("*")}, ""},    // reads as 0, which is not above 0
  };
  std::vector<std::string> con, sin;
  for (const Case& c : cases) {
    AddItem(c.ncm, {{"descripcion", Variant::String(c.ncm)}});
    for (const Variant& mark : c.marks) db_->InsertNcm(std::string(c.ncm, 10), c.ncm + 11, mark);
    if (std::string(c.keptBy) == "con") con.push_back(c.ncm);
    if (std::string(c.keptBy) == "sin") sin.push_back(c.ncm);
  }
  db_->InsertNcm("7777777777", "007", Variant::String("*"));  // position without its suffix
  AddItem("7777777777 070", {{"descripcion", Variant::String("other suffix")}});

  EXPECT_TRUE(AgregarSubitems_ConLAPI(ctx_, "A", "C"));
  EXPECT_TRUE(AgregarSubitems_sinLAPI(ctx_, "A", "S"));
  EXPECT_EQ(Descriptions("C"), con);
  EXPECT_EQ(Descriptions("S"), sin);
  EXPECT_TRUE(platform_.messages().empty());
  EXPECT_EQ(formatsCreated_, 2);  // once per call with items, however many items
}

TEST_P(FilteredItemCopyTest, SendsTheStatementsOfEachVariant) {
  auto internos = std::make_shared<RecordingConnection>(db_->internos());
  auto ncm = std::make_shared<RecordingConnection>(db_->ncm());
  basGLOBAL::State().internos = internos;
  basGLOBAL::State().ncm = ncm;
  db_->InsertNcm("1111111111", "001", Variant::String("*"));
  AddItem("1111111111 001");
  AddItem("9999'99999 001");  // skipped; its quote is doubled in the lookup

  const std::string columns =
      "IdCatalogo,IDARTICULO,ncm,IdUnidad,Cantidad,Preciounitario, "
      "Estadistica,valorrelacionestadistica,IdPais,EstadoMerc,descripcion, "
      "Biendeuso,codprorrateo,insumostemp,insumosacons,cancelaciones, "
      "cancCantidad,cancnroitem,cancnrosubitem,deresp,valorderesp,SUFIJOS, ";
  const std::string values =
      "values ('N','','','1111111111 001','',1,1, '',1,'','','', '','',1,1,'', '','','','',1,'', "
      "'',0,0,1,0,'','','','','')";
  const std::string mid =
      SessionDataAccessManager()->getMidFormatbyEntity("INTERNOS", "'1111111111 001'", "12", "3");
  ASSERT_TRUE(AgregarSubitems_ConLAPI(ctx_, "A", "N"));
  EXPECT_EQ(internos->texts(SentStatement::Call::kCrearrs),
            std::vector<std::string>{"select " + columns +
                                     "lapi , KGNETO, KGBRUTO, FOB, SBTREI, ITFILLER, "
                                     "descripcion_maria,  idpaisproc, certorig, naladisa from "
                                     "subitems where interno = 'A' order by id"});
  EXPECT_EQ(internos->texts(SentStatement::Call::kEjecutar),
            std::vector<std::string>{"insert into subitems (interno," + columns +
                                     "lapi,KGNETO,KGBRUTO,FOB,SBTREI,ITFILLER, descripcion_maria, "
                                     "idpaisproc, certorig, naladisa) " +
                                     values});
  ASSERT_EQ(ncm->statements().size(), 2u);
  EXPECT_EQ(ncm->statements()[0].sql,
            "select [001] as total,[002] from ncm where (left('1111111111 001',10) = [001] and " +
                mid + " = [002] and [059] = '*')");
  EXPECT_TRUE(ncm->statements()[1].sql.find("(left('9999''99999 001',10)") != std::string::npos);

  // The other variant differs in its blanks, its mark and its name, nowhere else.
  db_->InsertNcm("1111111111", "001", Variant::String(""));
  ASSERT_TRUE(AgregarSubitems_sinLAPI(ctx_, "A", "S"));
  EXPECT_EQ(internos->statements()[2].sql.substr(7 + columns.size()),
            "lapi , KGNETO, KGBRUTO, FOB, SBTREI, ITFILLER, descripcion_maria,idpaisproc , "
            "certorig, naladisa from subitems where interno = 'A' order by id");
  EXPECT_EQ(ncm->statements()[2].sql,
            "select [001] as total ,[002] from ncm where (left('1111111111 001',10) = [001] and " +
                mid + " = [002] and [059] = '')");
  EXPECT_EQ(internos->statements()[3].sql.substr(21 + 9 + columns.size()),
            "lapi,KGNETO,KGBRUTO,FOB,SBTREI,ITFILLER, descripcion_maria,idpaisproc , certorig, "
            "naladisa) values ('S'" +
                values.substr(11));
}

INSTANTIATE_TEST_SUITE_P(Backends, FilteredItemCopyTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
