// The full copy (lpCopiar) on every backend: what it writes, logs and shows, and how each of its
// steps reports a failure.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/table_layouts.h"
#include "support/copy_fixture.h"
#include "support/faulty_connection.h"

namespace oq::test {
namespace {

const ShownMessage kFin{64, "Fin del Proceso"};
const std::string kInjected = "-2147467259 - injected failure";
const std::string kVerificar = "\r\n\r\nSección oQUARDELINO.frmMAIN.VerificarInterno";
const std::string kAgregarInterno = "\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno";

class FullCopyTest : public CopyFixture {
 protected:
  // The source A1: 2 invoices inserted in reverse order and 3 items whose ids interleave with
  // another interno's, so a copy that lost the order or reused ids shows.
  void SetUp() override {
    CopyFixture::SetUp();
    db_->Insert("caratula", "A1", TestDatabase::SampleCaratula(1));
    for (int i = 0; i < 3; ++i) {
      db_->Insert("subitems", "A1", TestDatabase::SampleSubitem(10 + i));
      db_->Insert("subitems", "Z9", TestDatabase::SampleSubitem(50 + i));
    }
    for (int orden = 2; orden >= 1; --orden)
      db_->InsertFactura("A1", orden, "F-" + std::to_string(orden));
    StartSession("A1");
  }

  // `copy` holds a full copy of A1: every cover-sheet column as the source's but interno and the
  // two dates, the invoices, and the items in id order under new ids.
  void ExpectFullCopy(const std::string& copy) {
    std::vector<Variant> caratula = db_->CaratulaRow("A1").value();
    caratula[layout::kCaratulaInterno] = Variant::String(copy);
    caratula[layout::kCaratulaFecha] = caratula[layout::kCaratulaFechaAlta] =
        Variant::String("2024-05-17");
    ExpectSameValues({db_->CaratulaRow(copy).value_or(std::vector<Variant>{})}, {caratula}, 0);
    const auto invoices = [&](const std::string& interno) {
      return db_->Query("select orden, factura from facturas where interno = " +
                            SqlLiteral(Variant::String(interno)) + " order by orden",
                        {"orden", "factura"});
    };
    ExpectSameValues(invoices(copy), invoices("A1"), 0);
    const auto items = db_->SubitemRows(copy);
    const auto sourceItems = db_->SubitemRows("A1");
    ExpectSameValues(items, sourceItems, 2);
    for (std::size_t r = 0; r < items.size(); ++r) {
      EXPECT_GT(items[r][0].toInt64(), (r ? items[r - 1] : sourceItems.back())[0].toInt64());
    }
    EXPECT_EQ(platform_.procesosSetting(copy), "SI");
  }
};

TEST_P(FullCopyTest, OneCopyCopiesEveryColumnInvoicesAndItemsUnderAnyNumber) {
  form_.txtLOG = "left from before";
  Run("B1");
  ExpectFullCopy("B1");
  EXPECT_EQ(form_.txtLOG, "Proceso terminado...");
  EXPECT_EQ(form_.txtCopias, "1");
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFin});
  EXPECT_EQ(platform_.pointers(), std::vector<int>{1});
  EXPECT_EQ(db_->Count("caratula", "A1"), 1);  // the source is untouched
  EXPECT_EQ(db_->Count("subitems", "A1"), 3);
  for (const char* number : {"O'Neil", ""}) {  // any number, as typed
    Run(number);
    ExpectFullCopy(number);
  }
}

TEST_P(FullCopyTest, SeveralCopiesWithOneNameTaken) {
  db_->Insert("caratula", "4711_2", TestDatabase::SampleCaratula(7));
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
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFin});
}

// What the copies box and the length of the number lead to: the copies made and the box rewritten
// as the count read, or a refusal before any statement.
TEST_P(FullCopyTest, TheCopiesBoxAndTheLengthOfTheNumber) {
  const ShownMessage one{48,
                         "El nombre del interno debe tener como máximo 40 Caracteres, por favor "
                         "quite un caracter."};
  const ShownMessage several{48,
                             "Para crear Automáticamente varias copias, el nombre del interno debe "
                             "tener como maximo 38 Caracteres, por favor quite un caracter."};
  const ShownMessage overflow{16, "6 - Overflow\r\n\r\nSección cQUARDELINO.frmMAIN.lpCopiar"};
  struct Case {
    std::string box, separator;
    std::size_t length;
    int copies;  // 0: one copy under the number itself, -1: refused
    std::string boxAfter;
    ShownMessage message;
  };
  const std::vector<Case> cases = {
      {"", ".", 2, 0, "0", kFin},
      {"0", ".", 2, 0, "0", kFin},
      {"-3", ".", 2, 0, "-3", kFin},
      {"x", ".", 2, 0, "0", kFin},
      {"2.5", ".", 2, 2, "2.5", kFin},
      {"3.5", ".", 2, 4, "3.5", kFin},
      {"3abc", ".", 2, 3, "3", kFin},
      {"2.5", ",", 2, 2, "2,5", kFin},
      {"2,5", ",", 2, 2, "2", kFin},
      {"1", ".", 40, 0, "1", kFin},
      {"1", ".", 41, -1, "1", one},
      {"2", ".", 38, 2, "2", kFin},
      {"2", ".", 39, -1, "2", several},
      {"2", ".", 40, -1, "2", several},
      {"40000", ".", 3, -1, "40000", overflow},
  };
  char fill = 'a';
  for (const Case& c : cases) {
    const std::string number(c.length, fill++);
    SCOPED_TRACE(c.box + " " + number);
    platform_.clear();
    platform_.setDecimalSeparator(c.separator);
    form_.txtLOG = "old";
    Run(number, c.box);
    EXPECT_EQ(form_.txtCopias, c.boxAfter);
    EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{c.message});
    EXPECT_EQ(db_->Count("caratula", number), c.copies == 0);
    for (int i = 1; i <= std::max(c.copies, 0) + 1; ++i) {
      EXPECT_EQ(db_->Count("caratula", number + "_" + std::to_string(i)), i <= c.copies);
    }
    if (c.copies < 0) {
      EXPECT_EQ(platform_.pointers(), std::vector<int>(c.message == overflow, 1));
      EXPECT_EQ(form_.txtLOG, c.message == overflow ? "old" : "");
    }
  }
}

// What each step leaves when a statement fails (1 = the first of the run), when the settings
// cannot be written, or when the source lacks a part: the message of the step, the log, and what
// stays written under the new number, B for one copy or B_2 for the second of two.
TEST_P(FullCopyTest, EachStepReportsWhatFailedAndWhatWasWrittenStays) {
  db_->Insert("caratula", "NOITEMS", TestDatabase::SampleCaratula(2));
  db_->InsertFactura("NOITEMS", 1, "F");
  db_->Insert("caratula", "NOINVOICES", TestDatabase::SampleCaratula(3));
  db_->Insert("subitems", "NOINVOICES", TestDatabase::SampleSubitem(3));
  db_->InsertFactura("NOCOVER", 1, "F");
  db_->Insert("subitems", "NOCOVER", TestDatabase::SampleSubitem(4));
  const std::string settings = "70 - Permission denied" + kAgregarInterno;
  struct Case {
    std::string source;
    std::size_t statement;  // 0: none fails
    std::string copies, message, log;
    long caratula, facturas, subitems;
  };
  const std::vector<Case> cases = {
      {"A1", 1, "1", kInjected + kVerificar, "El interno B ya existe .-\r\n", 0, 0, 0},
      {"A1", 2, "1", kInjected + kAgregarInterno, "Error en agregar la Caratula B\r\n", 0, 0, 3},
      {"A1", 3, "1", kInjected + kAgregarInterno, "Error en agregar la Caratula B\r\n", 0, 2, 3},
      {"A1", 4, "1", kInjected, "Error en agregar los Subitem's B\r\n", 1, 2, 0},
      {"A1", 1, "2", kInjected + kVerificar, "Procesando...", 1, 2, 3},  // the next copy is made
      {"A1", 7, "2", kInjected + kAgregarInterno,
       "Procesando...Error en agregar la Caratula & B_2\r\n", 0, 2, 3},
      {"A1", 0, "1", settings, "Error en agregar la Caratula B\r\n", 1, 2, 3},
      {"NOITEMS", 0, "1", "", "Error en agregar los Subitem's B\r\n", 1, 1, 0},
      {"NOITEMS", 0, "2", "", "Procesando...Error en agregar el Subitem's & B_2\r\n", 1, 1, 0},
      {"NOINVOICES", 0, "1", "", "", 1, 0, 1},
      {"NOCOVER", 0, "1", "", "Error en agregar la Caratula B\r\n", 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " " + std::to_string(c.statement) + " " + c.copies);
    for (const std::string table : {"caratula", "facturas", "subitems"}) {
      db_->Execute("delete from " + table + " where interno like 'B%'");
    }
    auto faulty = std::make_shared<FaultyConnection>(db_->internos());
    StartSession(c.source, faulty);
    faulty->failAt(c.statement);
    platform_.clear();
    if (c.message == settings) platform_.failSaveSetting(Failure(70, "Permission denied"));
    Run("B", c.copies);
    platform_.failSaveSetting(std::nullopt);
    const std::string copy = c.copies == "1" ? "B" : "B_2";
    std::vector<ShownMessage> messages = {kFin};
    if (!c.message.empty()) messages.insert(messages.begin(), {16, c.message});
    EXPECT_EQ(platform_.messages(), messages);
    EXPECT_EQ(form_.txtLOG, c.log + "Proceso terminado...");
    EXPECT_EQ(db_->Count("caratula", copy), c.caratula);
    EXPECT_EQ(db_->Count("facturas", copy), c.facturas);
    EXPECT_EQ(db_->Count("subitems", copy), c.subitems);
    EXPECT_EQ(platform_.procesosSetting(copy).has_value(), c.caratula && c.message != settings);
  }
}

class NotAConnection : public Object {};

// The existence check fails on a missing or wrong session connection, and on a Null answer, which
// cannot be a truth value: the number then counts as taken. It negates the answer bitwise.
TEST_P(FullCopyTest, TheExistenceCheckFailsWithoutATruthValueAndNegatesBitwise) {
  const std::string notSet = "91 - Object variable or With block variable not set";
  const std::string notSupported = "438 - Object doesn't support this property or method";
  for (const auto& [object, text] : std::vector<std::pair<ObjectRef, std::string>>{
           {nullptr, notSet}, {std::make_shared<NotAConnection>(), notSupported}}) {
    basGLOBAL::State().internos = object;
    platform_.clear();
    Run("B1");
    EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{{16, text + kVerificar}, kFin}));
    EXPECT_EQ(form_.txtLOG, "El interno B1 ya existe .-\r\nProceso terminado...");
  }
  auto answering = std::make_shared<FaultyConnection>(db_->internos());
  StartSession("A1", answering);
  answering->answer(Variant::Null());
  platform_.clear();
  Run("B1");
  EXPECT_EQ(platform_.messages().front(),
            (ShownMessage{16, "94 - Invalid use of Null" + kVerificar}));
  EXPECT_EQ(db_->Count("caratula", "B1"), 0);
  // A count of 1 instead of Boolean true: Not 1 is -2, still true, so a taken number is copied.
  answering->answer(Variant::Long(1));
  Run("A1");
  EXPECT_EQ(db_->Count("caratula", "A1"), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, FullCopyTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
