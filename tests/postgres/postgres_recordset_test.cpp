#include "connectors/postgres/postgres_recordset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "connectors/postgres/postgres_connection.h"
#include "support/pg_test_server.h"

namespace oq::postgres {
namespace {

class PostgresRecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    connection_ = std::make_unique<PostgresConnection>(*test::TestServerUrl());
  }

  std::shared_ptr<Recordset> Open(const std::string& statement) {
    Variant recordset;
    connection_->put_sql(statement);
    connection_->crearrs(recordset);
    return std::dynamic_pointer_cast<Recordset>(recordset.asObject());
  }

  Variant Single(const std::string& expression) {
    return Open("select " + expression + " as v")->Fields("v").Value();
  }

  std::unique_ptr<PostgresConnection> connection_;
};

TEST_F(PostgresRecordsetTest, ValuesTakeTheKindOfTheirColumnType) {
  struct Case {
    const char* expression;
    Variant expected;
  };
  const Case cases[] = {
      {"7::smallint", Variant::Long(7)},
      {"(-2147483648)::integer", Variant::Long(-2147483647 - 1)},
      {"count(*)", Variant::Long(1)},  // count gives bigint
      {"5000000000::bigint", Variant::LongLong(5000000000)},
      {"1.5::real", Variant::Double(1.5)},
      {"2.25::double precision", Variant::Double(2.25)},
      {"12345.6789::numeric(12,4)", Variant::Double(12345.6789)},
      {"(select sum(x) from (values (1.25::numeric), (2.5)) t(x))", Variant::Double(3.75)},
      {"true", Variant::Boolean(true)},
      {"false", Variant::Boolean(false)},
      {"'añil'::text", Variant::String("añil")},
      {"'ab'::varchar(5)", Variant::String("ab")},
      {"'ab'::char(4)", Variant::String("ab  ")},
      {"''::text", Variant::String("")},
      {"date '2024-05-01'", Variant::String("2024-05-01")},
      {"timestamp '2024-05-01 10:20:30'", Variant::String("2024-05-01 10:20:30")},
      {"null::numeric", Variant::Null()},
      {"null::text", Variant::Null()},
      {"null", Variant::Null()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Single(c.expression), c.expected) << c.expression;
  }
  EXPECT_TRUE(std::isnan(Single("'NaN'::numeric").toDouble()));
}

// Lookup, walking and closing are the shared snapshot record set's, tested on SQLite; what is
// PostgreSQL's own is that the server folds unquoted aliases to lower case.
TEST_F(PostgresRecordsetTest, FieldsAreFoundByTheFoldedAliasInAnyCase) {
  auto rows = Open("select 1 as cantidadDeSubitemsCargados, 2 as \"MixedCase\"");
  EXPECT_EQ(rows->Fields("CantidadDeSubitemsCargados").Name(), "cantidaddesubitemscargados");
  EXPECT_EQ(rows->Fields("mixedcase").Value(), Variant::Long(2));
}

}  // namespace
}  // namespace oq::postgres
