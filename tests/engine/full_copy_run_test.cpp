#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/copy_runs.h"
#include "engine/table_layouts.h"
#include "support/copy_fixture.h"

namespace oq::test {
namespace {

const ShownMessage kFinDelProceso{64, "Fin del Proceso"};

class FullCopyRunTest : public CopyFixture {
 protected:
  // A source interno "A1" with 2 invoices and 3 items whose ids interleave with another
  // interno's, so a copy that lost the id order or reused ids shows.
  void InsertSource(int invoices = 2, int items = 3) {
    db_->InsertCaratula("A1", TestDatabase::SampleCaratula(1));
    for (int i = 0; i < items; ++i) {
      db_->InsertSubitem("A1", TestDatabase::SampleSubitem(10 + i));
      db_->InsertSubitem("Z9", TestDatabase::SampleSubitem(50 + i));
    }
    for (int orden = invoices; orden >= 1; --orden) {
      db_->InsertFactura("A1", orden, "F-" + std::to_string(orden));
    }
  }

  // `copy` holds a full copy of A1: every cover-sheet column equal to the source's except
  // interno and the two dates, the invoices, and the items in id order under new ids.
  void ExpectFullCopy(const std::string& copy) {
    const auto source = db_->CaratulaRow("A1");
    const auto target = db_->CaratulaRow(copy);
    ASSERT_TRUE(source && target) << copy;
    for (std::size_t i = 0; i < layout::kCaratulaColumnCount; ++i) {
      const Variant& expected = i == layout::kCaratulaInterno ? Variant::String(copy)
                                : i == layout::kCaratulaFecha || i == layout::kCaratulaFechaAlta
                                    ? Variant::String("2024-05-17")
                                    : (*source)[i];
      EXPECT_TRUE(SameValue((*target)[i], expected))
          << layout::kCaratula[i] << ": " << Describe((*target)[i]) << " vs " << Describe(expected);
    }
    const auto invoices = db_->FacturaRows(copy);
    ASSERT_EQ(invoices.size(), db_->FacturaRows("A1").size());
    for (std::size_t i = 0; i < invoices.size(); ++i) {
      EXPECT_TRUE(SameValue(invoices[i][1], db_->FacturaRows("A1")[i][1]));
    }
    const auto sourceItems = db_->SubitemRows("A1");
    const auto items = db_->SubitemRows(copy);
    ASSERT_EQ(items.size(), sourceItems.size());
    for (std::size_t r = 0; r < items.size(); ++r) {
      for (const auto& sourceRow : sourceItems) {
        EXPECT_FALSE(SameValue(items[r][0], sourceRow[0]));
      }
      if (r > 0) {
        EXPECT_GT(items[r][0].toInt64(), items[r - 1][0].toInt64());
      }
      for (std::size_t c = 2; c < items[r].size(); ++c) {
        EXPECT_TRUE(SameValue(items[r][c], sourceItems[r][c])) << layout::kSubitems[c - 1];
      }
    }
    EXPECT_EQ(platform_.procesosSetting(copy), "SI");
  }
};

TEST_P(FullCopyRunTest, OneCopyCopiesEveryColumnInvoicesAndItems) {
  InsertSource();
  StartSession("A1");
  form_.txtLOG = "left from before";
  Run("B1");
  ExpectFullCopy("B1");
  const auto target = db_->CaratulaRow("B1");
  for (const char* nullColumn : {"fobcoddivisas", "ONCCACortes", "DATOCOMPRADOR"}) {
    std::size_t i = 0;
    while (layout::kCaratula[i] != nullColumn) ++i;
    EXPECT_TRUE((*target)[i].isNull()) << nullColumn;
  }
  EXPECT_EQ(form_.txtLOG, "Proceso terminado...");
  EXPECT_EQ(form_.txtCopias, "1");
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFinDelProceso});
  EXPECT_EQ(platform_.pointers(), std::vector<int>{1});
  EXPECT_EQ(db_->Count("caratula", "A1"), 1);  // the source is untouched
  EXPECT_EQ(db_->Count("subitems", "A1"), 3);
}

TEST_P(FullCopyRunTest, SeveralCopiesWithOneNameTaken) {
  InsertSource();
  db_->InsertCaratula("4711_2", TestDatabase::SampleCaratula(7));
  StartSession("A1");
  Run("4711", "3");
  ExpectFullCopy("4711_1");
  ExpectFullCopy("4711_3");
  EXPECT_EQ(db_->Count("subitems", "4711_2"), 0);
  // Each copy starts the log anew: the taken-number line was shown, then replaced.
  EXPECT_EQ(form_.txtLOG, "Procesando...Proceso terminado...");
  EXPECT_NE(std::find(form_.logWrites.begin(), form_.logWrites.end(),
                      "Procesando...El interno 4711_2 ya Existe! .-\r\n"),
            form_.logWrites.end());
  EXPECT_EQ(platform_.pointers(), (std::vector<int>{11, 1}));
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFinDelProceso});
}

// The copies box: how many copies a text makes and what the box shows afterwards.
struct CopiesCase {
  std::string box;
  std::string separator;
  std::vector<std::string> copies;
  std::string boxAfter;
};

TEST_P(FullCopyRunTest, TheCopiesBoxIsReadAndRewritten) {
  InsertSource(1, 1);
  const std::vector<CopiesCase> cases = {
      {"", ".", {"N"}, "0"},
      {"0", ".", {"N"}, "0"},
      {"-3", ".", {"N"}, "-3"},
      {"x", ".", {"N"}, "0"},
      {"2.5", ".", {"N_1", "N_2"}, "2.5"},
      {"3.5", ".", {"N_1", "N_2", "N_3", "N_4"}, "3.5"},
      {"3abc", ".", {"N_1", "N_2", "N_3"}, "3"},
      {"2.5", ",", {"N_1", "N_2"}, "2,5"},
      {"2,5", ",", {"N_1", "N_2"}, "2"},
  };
  int run = 0;
  for (const CopiesCase& c : cases) {
    const std::string number = "N" + std::to_string(++run);
    platform_.setDecimalSeparator(c.separator);
    StartSession("A1");
    Run(number, c.box);
    EXPECT_EQ(form_.txtCopias, c.boxAfter) << c.box;
    for (std::string copy : c.copies) {
      copy.replace(0, 1, number);
      EXPECT_EQ(db_->Count("caratula", copy), 1) << c.box << " -> " << copy;
    }
    EXPECT_EQ(db_->Count("caratula", number + "_" + std::to_string(c.copies.size() + 1)), 0);
  }
}

TEST_P(FullCopyRunTest, ACountBeyondSixteenBitsStopsBeforeAnythingElse) {
  InsertSource();
  StartSession("A1");
  form_.txtLOG = "earlier log";
  Run("B1", "40000");
  EXPECT_EQ(platform_.messages(),
            (std::vector<ShownMessage>{
                {16, "6 - Overflow\r\n\r\nSección cQUARDELINO.frmMAIN.lpCopiar"}}));
  EXPECT_EQ(form_.txtCopias, "40000");
  EXPECT_EQ(form_.txtLOG, "earlier log");
  EXPECT_EQ(platform_.pointers(), std::vector<int>{1});
  EXPECT_FALSE(db_->CaratulaRow("B1_1"));
}

TEST_P(FullCopyRunTest, LengthLimitsAtTheirEdges) {
  InsertSource(0, 0);
  const std::string one =
      "El nombre del interno debe tener como máximo 40 Caracteres, por favor quite un caracter.";
  const std::string several =
      "Para crear Automáticamente varias copias, el nombre del interno debe tener como maximo 38 "
      "Caracteres, por favor quite un caracter.";
  struct Case {
    std::string copies;
    std::size_t length;
    std::string refusal;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"1", 40, ""}, {"1", 41, one}, {"2", 38, ""}, {"2", 39, several}, {"2", 40, several},
  };
  char fill = 'a';
  for (const Case& c : cases) {
    const std::string number(c.length, fill++);
    StartSession("A1");
    platform_.clear();
    form_.txtLOG = "old";
    Run(number, c.copies);
    const std::string first = c.copies == "1" ? number : number + "_1";
    if (c.refusal.empty()) {
      EXPECT_EQ(db_->Count("caratula", first), 1) << c.length;
      EXPECT_EQ(platform_.messages().back(), kFinDelProceso);
    } else {
      EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{{48, c.refusal}}));
      EXPECT_TRUE(platform_.pointers().empty());
      EXPECT_EQ(form_.txtLOG, "");
      EXPECT_EQ(db_->Count("caratula", first), 0);
    }
  }
}

TEST_P(FullCopyRunTest, SourcesMissingAPart) {
  db_->InsertCaratula("NOITEMS", TestDatabase::SampleCaratula(2));
  db_->InsertFactura("NOITEMS", 1, "F");
  db_->InsertCaratula("NOINVOICES", TestDatabase::SampleCaratula(3));
  db_->InsertSubitem("NOINVOICES", TestDatabase::SampleSubitem(3));
  db_->InsertFactura("NOCOVER", 1, "F");
  db_->InsertSubitem("NOCOVER", TestDatabase::SampleSubitem(4));

  StartSession("NOITEMS");
  Run("C1");
  EXPECT_EQ(form_.txtLOG, "Error en agregar los Subitem's C1\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("caratula", "C1"), 1);
  Run("C2", "2");
  EXPECT_EQ(form_.txtLOG,
            "Procesando...Error en agregar el Subitem's & C2_2\r\nProceso terminado...");

  StartSession("NOINVOICES");
  Run("C3");
  EXPECT_EQ(form_.txtLOG, "Proceso terminado...");
  EXPECT_EQ(db_->Count("facturas", "C3"), 0);
  EXPECT_EQ(platform_.procesosSetting("C3"), "SI");

  StartSession("NOCOVER");
  Run("C4");
  EXPECT_EQ(form_.txtLOG, "Error en agregar la Caratula C4\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("facturas", "C4"), 1);
  EXPECT_EQ(db_->Count("subitems", "C4"), 1);
  EXPECT_FALSE(platform_.procesosSetting("C4"));
  for (const ShownMessage& message : platform_.messages()) EXPECT_EQ(message, kFinDelProceso);
}

TEST_P(FullCopyRunTest, AnEmptyDateTextMakesTheCoverSheetStatementFail) {
  InsertSource();
  StartSession("A1", nullptr, "");
  Run("B1");
  ASSERT_EQ(platform_.messages().size(), 2u);
  EXPECT_EQ(platform_.messages()[0].style, 16);
  EXPECT_TRUE(platform_.messages()[0].prompt.ends_with(
      "\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno"));
  EXPECT_EQ(form_.txtLOG, "Error en agregar la Caratula B1\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("facturas", "B1"), 2);  // the invoices went first and stay
  EXPECT_EQ(db_->Count("subitems", "B1"), 3);
  EXPECT_FALSE(db_->CaratulaRow("B1"));
}

TEST_P(FullCopyRunTest, TakenNumbersAreLoggedAndOthersCopiedAsTyped) {
  InsertSource();
  StartSession("A1");
  Run("A1");  // the dialog proposes the source number itself
  EXPECT_EQ(form_.txtLOG, "El interno A1 ya existe .-\r\nProceso terminado...");
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFinDelProceso});
  EXPECT_EQ(db_->Count("subitems", "A1"), 3);
  EXPECT_EQ(db_->Count("facturas", "A1"), 2);
  EXPECT_TRUE(platform_.settings().empty());
  Run("O'Neil");
  ExpectFullCopy("O'Neil");
  Run("");
  ExpectFullCopy("");
  EXPECT_EQ(db_->Count("caratula", "A1"), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, FullCopyRunTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
