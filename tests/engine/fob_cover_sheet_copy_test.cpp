#include "engine/fob_cover_sheet_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/table_layouts.h"
#include "support/copy_fixture.h"
#include "support/recording_connection.h"

namespace oq::test {
namespace {

constexpr const char* kZeroFob =
    "No se encontraron Subitems que cumplan la condición especificada. La carátula tendrá valor 0 "
    "de FOB";

class FobCoverSheetCopyTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    internos_ = std::make_shared<RecordingConnection>(db_->internos());
    StartSession("A", internos_);
    RowValues sheet = TestDatabase::SampleCaratula(1);
    sheet["fobdivisas"] = Variant::Double(99.5);
    sheet["identificador_externo"] = Variant::String("EXT-1");
    db_->InsertCaratula("A", sheet);
    db_->InsertFactura("A", 1, "F-1");
    db_->InsertSubitem("A", TestDatabase::SampleSubitem(1));  // the source's items never count
  }

  void AddItemsToNew(const std::vector<Variant>& fobs) {
    for (const Variant& fob : fobs) {
      RowValues item = TestDatabase::SampleSubitem(2);
      item["FOB"] = fob;
      db_->InsertSubitem("N", item);
    }
  }
  Variant NewFob() { return db_->CaratulaRow("N").value()[layout::kCaratulaFob]; }
  std::string LastStatement() { return internos_->statements().back().sql; }

  std::shared_ptr<RecordingConnection> internos_;
};

TEST_P(FobCoverSheetCopyTest, SetsTheSumOfTheNewInternosItems) {
  struct Case {
    std::vector<double> fobs;
    const char* separator;
    const char* text;
  };
  const Case cases[] = {
      {{5.5}, ".", "05.50"},   {{1234.567}, ",", "1234.57"}, {{1.25, 1.25}, ",", "02.50"},
      {{0.125}, ".", "00.13"}, {{-3.0}, ".", "-03.00"},      {{0.001}, ".", "00.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    db_->Execute("delete from subitems where interno = 'N'");
    db_->Execute("delete from caratula where interno = 'N'");
    std::vector<Variant> fobs;
    for (double fob : c.fobs) fobs.push_back(Variant::Double(fob));
    AddItemsToNew(fobs);
    platform_.setDecimalSeparator(c.separator);

    EXPECT_TRUE(AgregarCaratulaRecalculandoFOB(ctx_, "A", "N"));
    EXPECT_EQ(LastStatement(),
              std::string("update caratula set fobdivisas = ") + c.text + " where interno = 'N'");
    EXPECT_TRUE(SameValue(NewFob(), Variant::String(c.text)));
  }
  EXPECT_TRUE(platform_.messages().empty());
  EXPECT_EQ(platform_.procesosSetting("N"), "SI");
}

TEST_P(FobCoverSheetCopyTest, NoItemsGiveZeroAndTheNoticeEvenWithoutACoverSheet) {
  EXPECT_TRUE(AgregarCaratulaRecalculandoFOB(ctx_, "A", "N"));
  EXPECT_EQ(LastStatement(), "update caratula set fobdivisas = 0  where interno = 'N'");
  EXPECT_TRUE(SameValue(NewFob(), Variant::Long(0)));
  EXPECT_EQ(db_->CaratulaRow("N").value().back().asString(), "");  // identificador_externo: default

  db_->InsertFactura("B", 1, "F-B");  // B has invoices but no cover sheet
  EXPECT_FALSE(AgregarCaratulaRecalculandoFOB(ctx_, "B", "M"));
  EXPECT_EQ(db_->FacturaRows("M").size(), 1u);
  EXPECT_FALSE(platform_.procesosSetting("M").has_value());
  EXPECT_EQ(LastStatement(), "update caratula set fobdivisas = 0  where interno = 'M'");
  EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{{64, kZeroFob}, {64, kZeroFob}}));
}

TEST_P(FobCoverSheetCopyTest, NullSumIsReportedAndKeepsTheSourcesFob) {
  AddItemsToNew({Variant::Null(), Variant::Null()});
  EXPECT_TRUE(AgregarCaratulaRecalculandoFOB(ctx_, "A", "N"));
  EXPECT_EQ(
      platform_.messages(),
      (std::vector<ShownMessage>{
          {16, "94 - Invalid use of Null\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno"}}));
  EXPECT_TRUE(SameValue(NewFob(), Variant::Double(99.5)));
}

INSTANTIATE_TEST_SUITE_P(Backends, FobCoverSheetCopyTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
