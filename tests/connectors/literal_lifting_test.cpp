#include "connectors/common/literal_lifting.h"

#include <gtest/gtest.h>

namespace oq::connectors {
namespace {

using Engine = LiftingRules::Engine;

struct Case {
  Engine engine;
  const char* sql;
  const char* shape;  // nullptr: the text is kept as it is
  std::vector<std::string> values;
};

TEST(LiteralLifting, LiftsOnlyWhereAParameterMeansTheSame) {
  const Case cases[] = {
      // The copy's own statements: a tariff lookup and an item's insert.
      {Engine::kSqlite,
       "select [001] as total,[002] from ncm where (substr('8471.30.12 100', 1, 10) = [001] and "
       "substr('8471.30.12 100', 12, 3) = [002] and [059] = '*')",
       "select [001] as total,[002] from ncm where (substr(?, ?, ?) = [001] and substr(?, ?, ?) = "
       "[002] and [059] = ?)",
       {"8471.30.12 100", "1", "10", "8471.30.12 100", "12", "3", "*"}},
      {Engine::kPostgres,
       "select \"001\" as total ,\"002\" from ncm where (left('8471', 10) = \"001\" and "
       "SUBSTRING('8471', 12, 3) = \"002\" and \"059\" = '')",
       "select \"001\" as total ,\"002\" from ncm where (left($1, $2::int4) = \"001\" and "
       "SUBSTRING($3, $4::int4, $5::int4) = \"002\" and \"059\" = $6)",
       {"8471", "10", "8471", "12", "3", ""}},
      {Engine::kSqlite,
       "insert into t values ('it''s', -12.5, 7, 1e3, - .5)",
       "insert into t values (?, CAST(? AS REAL), ?, CAST(? AS REAL), CAST(? AS REAL))",
       {"it's", "-12.5", "7", "1e3", "-.5"}},
      {Engine::kPostgres,
       "insert into t values ('a', -2147483648, 2147483647, 12.50)",
       "insert into t values ($1, $2::int8, $3::int4, $4::numeric)",
       {"a", "-2147483648", "2147483647", "12.50"}},
      // SQLite's decimals only as values: a comparison would see the cast's affinity.
      {Engine::kSqlite,
       "update t set x = 2.5 where s = 'a' and y = 1.5",
       "update t set x = 2.5 where s = ? and y = 1.5",
       {"a"}},
      {Engine::kSqlite, "insert into t select 1.5, 'a' from u where v = 2.5", nullptr, {}},
      // Result columns, positions, sizes, typed literals, operands of other operators: kept.
      {Engine::kSqlite,
       "select 'a', n, (select 'b' from u where w = 'c') from t where n = 1",
       "select 'a', n, (select 'b' from u where w = 'c') from t where n = ?",
       {"1"}},
      {Engine::kSqlite,
       "select n from t where s = 'a' group by n order by 1, 2 limit 5, 10",
       "select n from t where s = ? group by n order by 1, 2 limit 5, 10",
       {"a"}},
      {Engine::kPostgres,
       "select n from t where cast(n as varchar(10)) = '1' and x::numeric(10, 2) = 2 and "
       "d = date '2024-01-02' and e = '2024-01-01'::date and s || 'x' = 'y' and n = -(1)",
       "select n from t where cast(n as varchar(10)) = $1 and x::numeric(10, 2) = $2::int4 and "
       "d = date '2024-01-02' and e = $3::date and s || 'x' = $4 and n = -($5::int4)",
       {"1", "2", "2024-01-01", "y", "1"}},
      {Engine::kSqlite,
       "select n from t -- 'x'\nwhere s = /* 'y' */ 'a'",
       "select n from t -- 'x'\nwhere s = /* 'y' */ ?",
       {"a"}},
      {Engine::kSqlite,
       "select n from t where n = 1234567890123456789 and s = 'a'",
       "select n from t where n = 1234567890123456789 and s = ?",
       {"a"}},
      // Texts whose meaning a parameter could change are sent as they are.
      {Engine::kSqlite, "create table u (a varchar(10) default 'x')", nullptr, {}},
      {Engine::kSqlite, "select n from t where s = 'a'; select 2", nullptr, {}},
      {Engine::kSqlite, "select n from t where s = ? or s = 'a'", nullptr, {}},
      {Engine::kSqlite, "select n from t where s = :s or s = 'a'", nullptr, {}},
      {Engine::kSqlite, "select n from t where b = X'00' or s = 'a'", nullptr, {}},
      {Engine::kSqlite, "select n from t where n = 12abc or s = 'a'", nullptr, {}},
      {Engine::kSqlite, "select n from t where s = 'a", nullptr, {}},
      {Engine::kSqlite, "select n from t where n = 0x1F or s = 'a'", nullptr, {}},
      {Engine::kPostgres, "select n from t where s = E'a\\'' or s = 'a'", nullptr, {}},
      {Engine::kPostgres, "select n from t where s = 'a'\n'b'", nullptr, {}},
      {Engine::kPostgres, "select n from t where s = $$a$$ or s = 'a'", nullptr, {}},
      {Engine::kPostgres, "select n from t where a[1] = 'x'", nullptr, {}},
      {Engine::kSqlite, "select n from t where s = t.s", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::optional<LiftedStatement> lifted = LiftLiterals(c.sql, {c.engine});
    if (c.shape == nullptr) {
      EXPECT_FALSE(lifted.has_value()) << lifted->shape;
      continue;
    }
    ASSERT_TRUE(lifted.has_value());
    EXPECT_EQ(lifted->shape, c.shape);
    std::vector<std::string> values;
    for (const LiftedLiteral& literal : lifted->literals) values.push_back(literal.text);
    EXPECT_EQ(values, c.values);
  }
}

// A statement that differs from the last one only in its literals' values is lifted by matching
// it against that one, with the very result a scan of its own gives; any other difference sends
// it to the scan.
TEST(LiteralLifting, AStatementLikeTheLastIsLiftedByMatchingItTheSameAsByScanning) {
  struct Like {
    Engine engine;
    const char* previous;
    const char* sql;
    bool matched;
  };
  const Like cases[] = {
      {Engine::kSqlite, "insert into t values ('a', 1, 2.5, 'x')",
       "insert into t values ('it''s', 123, 1e-3, '')", true},
      {Engine::kPostgres, "select n from t where s = 'a' and n = 7 and x = 1.5",
       "select n from t where s = 'b''' and n = 2147483647 and x = 0.25", true},
      {Engine::kPostgres, "select n from t where n = 7 and s = 'a'",
       "select n from t where n = 2147483648 and s = 'a'", false},  // int8, not int4
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into t values (1.5, 'a')", false},
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into t values ('1', 'a')", false},
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into t values (-1, 'a')", false},
      {Engine::kSqlite, "insert into t values (-1, 'a')", "insert into t values (-2, 'a')", false},
      {Engine::kSqlite, "insert into t values (1, 'a')",
       "insert into t values (1234567890123456789, 'a')", false},
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into t values (1, 'a'); drop t",
       false},
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into u values (1, 'a')", false},
      {Engine::kSqlite, "insert into t values (1, 'a')", "insert into t values (1, 'a'", false},
      {Engine::kSqlite, "select 'a' from t where n = 1", "select 'b' from t where n = 2", false},
  };
  for (const Like& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::optional<LiftedStatement> previous = LiftLiterals(c.previous, {c.engine});
    ASSERT_TRUE(previous.has_value());
    const auto matched = LiftLike(c.sql, c.previous, *previous, {c.engine});
    EXPECT_EQ(matched.has_value(), c.matched);
    if (!matched) continue;
    const std::optional<LiftedStatement> scanned = LiftLiterals(c.sql, {c.engine});
    ASSERT_TRUE(scanned.has_value());
    EXPECT_EQ(scanned->shape, previous->shape);
    ASSERT_EQ(matched->size(), scanned->literals.size());
    for (std::size_t i = 0; i < matched->size(); ++i) {
      EXPECT_EQ((*matched)[i].text, scanned->literals[i].text);
      EXPECT_EQ((*matched)[i].kind, scanned->literals[i].kind);
    }
  }
}

// A copy takes turns between statements of a few shapes, and more shapes than a connection
// remembers come and go: whichever remembered statement a text matches, it gets its own shape and
// its own values, the same as a scan gives.
TEST(LiteralLifting, StatementsTakingTurnsEachGetTheirOwnShapeAndValues) {
  const char* const shapes[] = {
      "select a from t where s = '%' and n = 1",  "insert into t values ('%', 2)",
      "update t set s = '%' where n = 3",         "delete from t where s = '%'",
      "select b from u where s = '%' and n = 4",  "insert into u values (5, '%')",
  };
  // Turns between two, a third between them, more shapes than are remembered, and back.
  const std::size_t turns[] = {0, 1, 0, 1, 2, 0, 3, 1, 4, 5, 0, 2, 2, 5, 1, 1};
  Lifting lifting({Engine::kSqlite});
  for (std::size_t n = 0; n < std::size(turns); ++n) {
    std::string sql = shapes[turns[n]];
    sql.replace(sql.find('%'), 1, "v" + std::to_string(n) + "''");
    SCOPED_TRACE(sql);
    std::vector<LiftedLiteral> literals;
    const std::string* shape = lifting.Lift(sql, literals);
    const std::optional<LiftedStatement> scanned = LiftLiterals(sql, {Engine::kSqlite});
    ASSERT_NE(shape, nullptr);
    ASSERT_TRUE(scanned.has_value());
    EXPECT_EQ(*shape, scanned->shape);
    ASSERT_EQ(literals.size(), scanned->literals.size());
    for (std::size_t i = 0; i < literals.size(); ++i) {
      EXPECT_EQ(literals[i].text, scanned->literals[i].text);
      EXPECT_EQ(literals[i].kind, scanned->literals[i].kind);
    }
  }
}

}  // namespace
}  // namespace oq::connectors
