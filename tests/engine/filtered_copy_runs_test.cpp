#include "engine/filtered_copy_runs.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/table_layouts.h"
#include "support/copy_fixture.h"

namespace oq::test {
namespace {

const ShownMessage kFin{64, "Fin del Proceso"};
const ShownMessage kZeroFob{64,
                            "No se encontraron Subitems que cumplan la condición especificada. La "
                            "carátula tendrá valor 0 de FOB"};

class FilteredCopyRunsTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    SetUpSession({db_->internos(), db_->ncm(), "'2024-05-17'", "A", MakeDataAccessManager(), 0});
    db_->InsertCaratula("A", TestDatabase::SampleCaratula(1));
    db_->InsertNcm("1111111111", "001", Variant::String("*"));
    db_->InsertNcm("2222222222", "002", Variant::String(""));
    form_.txtCopias = "5";
  }

  void AddItem(const char* ncm, double fob) {
    RowValues item = TestDatabase::SampleSubitem(3);
    item["ncm"] = Variant::String(ncm);
    item["FOB"] = Variant::Double(fob);
    db_->InsertSubitem("A", item);
  }
};

TEST_P(FilteredCopyRunsTest, EachRunMakesOneCopyWithItsItemsAndTheirFob) {
  AddItem("1111111111 001", 2.5);
  AddItem("2222222222 002", 4.0);
  AddItem("1111111111 001", 3.0);
  // The runs have no length limit of their own; a server that enforces the declared width of
  // interno (40) would refuse the longer number itself.
  const std::string longNumber =
      GetParam()->dialect() == Dialect::kSqlite ? std::string(45, 'N') : std::string(40, 'N');
  struct Case {
    void (*run)(CopyContext&);
    std::string number;
    std::size_t items;
    double fob;
  };
  for (const Case& c :
       {Case{&lpCopiar_ConLAPI, longNumber, 2, 5.5}, Case{&lpCopiar_sinLAPI, "S-1", 1, 4.0}}) {
    form_.Text1 = c.number;
    form_.txtLOG = "old";
    c.run(ctx_);
    EXPECT_EQ(form_.txtLOG, "Proceso terminado...");
    EXPECT_EQ(form_.txtCopias, "5");
    EXPECT_EQ(db_->SubitemRows(c.number).size(), c.items);
    EXPECT_TRUE(SameValue(db_->CaratulaRow(c.number).value()[layout::kCaratulaFob],
                          Variant::Double(c.fob)));
  }

  form_.Text1 = "A";  // the source's own number is taken
  lpCopiar_ConLAPI(ctx_);
  EXPECT_EQ(form_.txtLOG, "El interno A ya existe .-\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("subitems", "A"), 3);
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kFin, kFin, kFin}));
  EXPECT_EQ(platform_.pointers(), (std::vector<int>{1, 1, 1}));
}

TEST_P(FilteredCopyRunsTest, FalseItemCopyIsLoggedAndTheCoverSheetStillMade) {
  // Without items, and then with a kept item whose number column is Null after a good one.
  form_.Text1 = "E";
  lpCopiar_sinLAPI(ctx_);
  EXPECT_EQ(form_.txtLOG, "Error en agregar los Subitem's E\r\nProceso terminado...");
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{kZeroFob, kFin}));

  AddItem("1111111111 001", 7.0);  // skipped by this run: its Null is never read
  AddItem("2222222222 002", 4.0);
  AddItem("2222222222 002", 1.0);
  db_->Execute("update subitems set Cantidad = NULL where FOB in (1, 7)");
  AddItem("2222222222 002", 8.0);
  form_.Text1 = "F";
  lpCopiar_sinLAPI(ctx_);
  EXPECT_EQ(form_.txtLOG, "Error en agregar los Subitem's F\r\nProceso terminado...");
  EXPECT_EQ(platform_.messages().at(2),
            (ShownMessage{0,
                          "Error 94 (Invalid use of Null) in procedure AgregarSubitems_sinLAPI "
                          "of Formulario frmMAIN"}));
  EXPECT_EQ(platform_.messages().at(3), kFin);
  EXPECT_EQ(db_->Count("subitems", "F"), 1);  // the item before stays, the one after is not read
  EXPECT_TRUE(SameValue(db_->CaratulaRow("F").value()[layout::kCaratulaFob], Variant::Double(4.0)));
}

TEST_P(FilteredCopyRunsTest, TwinsReportAFailureOfTheirOwnDifferently) {
  form_.Text1 = "N";
  form_.txtCopias = "1e400";  // beyond a double: reading the copies box overflows
  form_.txtLOG = "old";
  lpCopiar_ConLAPI(ctx_);
  lpCopiar_sinLAPI(ctx_);
  EXPECT_EQ(platform_.messages(),
            (std::vector<ShownMessage>{
                {0,
                 "Overflow\r\n\r\n6 - seccion[oQUARDELINO.frmMAIN.lpCopiar_ConLAPI Linea 0 "
                 "]::oQUARDELINO"},
                {16, "6 - Overflow\r\n\r\nSección cQUARDELINO.frmMAIN.lpCopiar"}}));
  EXPECT_EQ(platform_.pointers(), (std::vector<int>{1, 1}));
  EXPECT_EQ(form_.txtLOG, "old");
  EXPECT_FALSE(db_->CaratulaRow("N").has_value());
}

INSTANTIATE_TEST_SUITE_P(Backends, FilteredCopyRunsTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
