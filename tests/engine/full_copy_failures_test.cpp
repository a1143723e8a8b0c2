#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/copy_runs.h"
#include "host/basGLOBAL.h"
#include "support/copy_fixture.h"
#include "support/faulty_connection.h"
#include "support/recording_connection.h"

namespace oq::test {
namespace {

const ShownMessage kFinDelProceso{64, "Fin del Proceso"};
const std::string kInjected = "-2147467259 - injected failure";
const std::string kVerificar = "\r\n\r\nSección oQUARDELINO.frmMAIN.VerificarInterno";
const std::string kAgregarInterno = "\r\n\r\nSeccion oQUARDELINO.frmMAIN.AgregarInterno";

class FullCopyFailureTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    db_->InsertInterno("A1", 1, 2, 3);
  }
};

TEST_P(FullCopyFailureTest, StatementsGoOneByOneThroughTheInternosConnection) {
  auto recording = std::make_shared<RecordingConnection>(db_->internos());
  StartSession("A1", recording);
  Run("B1");
  using Call = SentStatement::Call;
  const auto& sent = recording->statements();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].sql, "select interno from caratula where interno = 'B1'");
  EXPECT_EQ(sent[0].call, Call::kCrearrs);
  const std::vector<std::string> starts = {"insert into facturas", "insert into caratula",
                                           "insert into subitems"};
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_TRUE(sent[i].sql.starts_with(starts[i - 1])) << sent[i].sql;
    EXPECT_EQ(sent[i].call, Call::kEjecutar);
  }
}

// A failure at each statement of one copy: the message of the procedure that ran it, the log,
// and what stays written under the new number.
struct FaultCase {
  std::size_t statement;
  std::string message;
  std::string log;
  long caratula, facturas, subitems;
  bool setting;
};

TEST_P(FullCopyFailureTest, AFailingStatementIsReportedByItsStepAndWhatWasWrittenStays) {
  const std::vector<FaultCase> cases = {
      {1, kInjected + kVerificar, "El interno B1 ya existe .-\r\n", 0, 0, 0, false},
      {2, kInjected + kAgregarInterno, "Error en agregar la Caratula B1\r\n", 0, 0, 3, false},
      {3, kInjected + kAgregarInterno, "Error en agregar la Caratula B1\r\n", 0, 2, 3, false},
      {4, kInjected, "Error en agregar los Subitem's B1\r\n", 1, 2, 0, true},
  };
  for (const FaultCase& c : cases) {
    const std::string number = "B1-" + std::to_string(c.statement);
    auto faulty = std::make_shared<FaultyConnection>(db_->internos());
    faulty->failAt(c.statement);
    StartSession("A1", faulty);
    platform_.clear();
    Run(number);
    std::string message = c.message;
    std::string log = c.log;
    for (std::string* text : {&message, &log}) {
      const auto at = text->find("B1");
      if (at != std::string::npos) text->replace(at, 2, number);
    }
    EXPECT_EQ(platform_.messages(), (std::vector<ShownMessage>{{16, message}, kFinDelProceso}))
        << c.statement;
    EXPECT_EQ(form_.txtLOG, log + "Proceso terminado...");
    EXPECT_EQ(db_->Count("caratula", number), c.caratula) << c.statement;
    EXPECT_EQ(db_->Count("facturas", number), c.facturas) << c.statement;
    EXPECT_EQ(db_->Count("subitems", number), c.subitems) << c.statement;
    EXPECT_EQ(platform_.procesosSetting(number).has_value(), c.setting) << c.statement;
  }
}

TEST_P(FullCopyFailureTest, ASettingThatCannotBeWrittenMakesTheCoverSheetStepFalse) {
  StartSession("A1");
  platform_.failSaveSetting(Failure(70, "Permission denied"));
  Run("B1");
  EXPECT_EQ(platform_.messages(),
            (std::vector<ShownMessage>{{16, "70 - Permission denied" + kAgregarInterno},
                                       kFinDelProceso}));
  EXPECT_EQ(form_.txtLOG, "Error en agregar la Caratula B1\r\nProceso terminado...");
  EXPECT_EQ(db_->Count("caratula", "B1"), 1);
  EXPECT_EQ(db_->Count("subitems", "B1"), 3);
}

TEST_P(FullCopyFailureTest, ABrokenConnectionBringsOneMessagePerCopy) {
  auto faulty = std::make_shared<FaultyConnection>(db_->internos());
  faulty->failEvery("");
  StartSession("A1", faulty);
  Run("B", "3");
  ASSERT_EQ(platform_.messages().size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(platform_.messages()[i], (ShownMessage{16, kInjected + kVerificar}));
  }
  EXPECT_EQ(form_.txtLOG, "Procesando...El interno B_3 ya Existe! .-\r\nProceso terminado...");
}

class NotAConnection : public Object {};

TEST_P(FullCopyFailureTest, AMissingOrWrongSessionConnection) {
  const std::string notSet = "91 - Object variable or With block variable not set";
  const std::string notSupported = "438 - Object doesn't support this property or method";
  for (const auto& [object, text] : std::vector<std::pair<ObjectRef, std::string>>{
           {nullptr, notSet}, {std::make_shared<NotAConnection>(), notSupported}}) {
    StartSession("A1");
    basGLOBAL::State().internos = object;
    platform_.clear();
    Run("B1");
    EXPECT_EQ(platform_.messages(),
              (std::vector<ShownMessage>{{16, text + kVerificar}, kFinDelProceso}));
    EXPECT_EQ(form_.txtLOG, "El interno B1 ya existe .-\r\nProceso terminado...");
  }
}

// Answers every query with a chosen value instead of the connection's truth value.
class AnsweringConnection : public RecordingConnection {
 public:
  AnsweringConnection(std::shared_ptr<HostConnection> inner, Variant answer)
      : RecordingConnection(std::move(inner)), answer_(std::move(answer)) {}
  Variant crearrs(Variant& recordset) override {
    RecordingConnection::crearrs(recordset);
    return answer_;
  }

 private:
  Variant answer_;
};

TEST_P(FullCopyFailureTest, TheExistenceCheckNegatesTheAnswerBitwise) {
  // Null cannot be a truth value: the check fails and the number counts as taken.
  StartSession("A1", std::make_shared<AnsweringConnection>(db_->internos(), Variant::Null()));
  Run("B1");
  EXPECT_EQ(platform_.messages().front(),
            (ShownMessage{16, "94 - Invalid use of Null" + kVerificar}));
  EXPECT_EQ(db_->Count("caratula", "B1"), 0);
  // A count of 1 instead of Boolean true: Not 1 is -2, still true, so a taken number is copied.
  StartSession("A1", std::make_shared<AnsweringConnection>(db_->internos(), Variant::Long(1)));
  Run("A1");
  EXPECT_EQ(db_->Count("caratula", "A1"), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, FullCopyFailureTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
