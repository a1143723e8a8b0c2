#include <gtest/gtest.h>

#include <memory>

#include "connectors/components/dam_main.h"
#include "connectors/postgres/postgres_connection.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"
#include "host/recordset.h"
#include "support/pg_test_server.h"

namespace oq::postgres {
namespace {

class DemoOnPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    database_ = std::make_unique<test::ScratchDatabase>(*test::TestServerUrl());
    connection_ = std::make_unique<PostgresConnection>(database_->url());
  }

  Variant Value(const std::string& statement, const std::string& field) {
    Variant recordset;
    connection_->put_sql(statement);
    connection_->crearrs(recordset);
    return std::dynamic_pointer_cast<Recordset>(recordset.asObject())->Fields(field).Value();
  }

  std::unique_ptr<test::ScratchDatabase> database_;
  std::unique_ptr<PostgresConnection> connection_;
};

// The demo schema uses unquoted names, so the statements of the copy steps find them whatever
// case they write them in, and the tariff lookup as the item copy builds it finds its rows.
TEST_F(DemoOnPostgresTest, SchemaAndDataServeTheCopyStatements) {
  // Both databases in one here; run twice, the second time replacing the tables.
  demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_, Dialect::kPostgres,
                            false);
  EXPECT_THROW(demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_,
                                         Dialect::kPostgres, false),
               Failure);
  demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_, Dialect::kPostgres,
                            true);

  const auto& first = demo::DemoInternos().front();
  const std::string where = " where interno = '" + std::string(first.numero) + "'";
  EXPECT_EQ(Value("select count(interno) as cantidadDeSubitemsCargados from subitems" + where,
                  "cantidadDeSubitemsCargados")
                .kind(),
            Variant::Kind::kLong);
  EXPECT_TRUE(Value("select sum(fob) as total from subitems" + where, "total").isNumeric());
  EXPECT_EQ(Value("select count(*) as n from ncm", "n"),
            Variant::Long(static_cast<std::int32_t>(demo::kNcmDemoRows)));

  components::DamMain dam({{"INTERNOS", Dialect::kPostgres}});
  for (const demo::TariffCode& code : demo::DemoTariffCodes()) {
    const std::string ncm(code.code);
    const std::string lookup = "select [001] as total,[002] from ncm where (left('" + ncm +
                               "',10) = [001] and " +
                               dam.getMidFormatbyEntity("INTERNOS", "'" + ncm + "'", "12", "3") +
                               " = [002] and [059] = '*')";
    Variant recordset;
    connection_->put_sql(lookup);
    EXPECT_EQ(connection_->crearrs(recordset).isTrue(), code.mark == demo::Mark::kLicence) << ncm;
  }
}

}  // namespace
}  // namespace oq::postgres
