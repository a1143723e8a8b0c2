// The careful host reads where a run stands from the component's own texts: each recogniser
// against the statements the engine really builds, and against look-alikes.
#include "careful_host/component_texts.h"

#include <gtest/gtest.h>

#include "engine/copy_statements.h"
#include "engine/filtered_item_statements.h"
#include "engine/platform_port.h"
#include "support/session.h"

namespace oq::careful {
namespace {

TEST(ComponentTexts, RecogniseTheEnginesStatementsAndNothingElse) {
  for (const std::string number : {"4711", "O'Brien", "x' or 'a'='a", "", "Ñandú_2"}) {
    EXPECT_EQ(ExistenceCheckNumber(ExistenceQuery(number)), number);
  }
  for (const std::string& other :
       {InvoiceCopyStatement("A", "B"), ItemCopyStatement("A", "B"),
        std::string("select interno from caratula where interno = 'a' or 'b' = 'b'"),
        std::string("select interno from caratula where interno = 'a'; delete from t; --'")}) {
    EXPECT_FALSE(ExistenceCheckNumber(other)) << other;
    EXPECT_FALSE(IsTariffLookup(other)) << other;
  }
  EXPECT_TRUE(CopiesItems(ItemCopyStatement("A", "B")));
  EXPECT_FALSE(CopiesItems(InvoiceCopyStatement("A", "B")));
  const ObjectRef manager = test::MakeDataAccessManager();
  auto& dam = dynamic_cast<DataAccessManager&>(*manager);
  for (const auto licence : {filtered::Licence::kConLAPI, filtered::Licence::kSinLAPI}) {
    EXPECT_TRUE(IsTariffLookup(filtered::TariffLookup(licence, dam, "8471.30.12 100")));
  }
}

TEST(ComponentTexts, RecogniseTheEndOfARunAndItsFaults) {
  EXPECT_TRUE(IsRunEndBox("Fin del Proceso", vbInformation));
  EXPECT_FALSE(IsRunEndBox("Fin del Proceso", vbCritical));
  EXPECT_FALSE(IsRunEndBox("No se encontraron Subitems", vbInformation));
  for (const auto& [style, failure] : {std::pair{vbOKOnly, true}, {vbCritical, true},
                                       {vbExclamation, false}, {vbInformation, false}}) {
    EXPECT_EQ(IsFailureBox(style), failure) << style;
  }
  EXPECT_TRUE(LogsFailedStep("Procesando...Error en agregar la Caratula & B_1\r\n"));
  EXPECT_TRUE(LogsTakenNumber("El interno B ya existe .-\r\n"));
  EXPECT_TRUE(LogsTakenNumber("El interno B_2 ya Existe! .-\r\n"));
  EXPECT_FALSE(LogsFailedStep("Proceso terminado...") || LogsTakenNumber("Proceso terminado..."));
  EXPECT_TRUE(LogsRunEnd("El interno B ya existe .-\r\nProceso terminado..."));
  EXPECT_FALSE(LogsRunEnd("Proceso terminado...\r\n"));
}

}  // namespace
}  // namespace oq::careful
