#include "engine/copy_statements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sql_text.h"

namespace oq {
namespace {

// The items between the first "(" and ")" after `from`, and those of the SELECT list, split on
// commas; the test statements hold no comma inside a value.
std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  std::string item;
  for (char c : list + ",") {
    if (c == ',') {
      const auto first = item.find_first_not_of(' ');
      const auto last = item.find_last_not_of(' ');
      items.push_back(first == std::string::npos ? "" : item.substr(first, last - first + 1));
      item.clear();
    } else {
      item += c;
    }
  }
  return items;
}

std::vector<std::string> TargetList(const std::string& statement) {
  const auto open = statement.find('(');
  return Split(statement.substr(open + 1, statement.find(')') - open - 1));
}

std::vector<std::string> SelectList(const std::string& statement, const std::string& select,
                                    const std::string& from) {
  const auto start = statement.find(select) + select.size();
  return Split(statement.substr(start, statement.find(from) - start));
}

TEST(SqlEscapeTest, DoublesEverySingleQuote) {
  EXPECT_EQ(sql::Escape("4711"), "4711");
  EXPECT_EQ(sql::Escape("O'Neil"), "O''Neil");
  EXPECT_EQ(sql::Escape("''"), "''''");
  EXPECT_EQ(sql::Escape("x' or '1'='1"), "x'' or ''1''=''1");
}

TEST(CopyStatementsTest, CoverSheetListsPairTheDatesAndTheNewNumber) {
  for (const bool full : {true, false}) {
    const std::string statement = CoverSheetCopyStatement("A'1", "B'2", "'2024-05-17'", full);
    const auto targets = TargetList(statement);
    const auto sources = SelectList(statement, "SELECT ", " from caratula");
    const std::size_t count = full ? 87 : 86;
    ASSERT_EQ(targets.size(), count);
    ASSERT_EQ(sources.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
      if (targets[i] == "fecha" || targets[i] == "fechaalta") {
        EXPECT_EQ(sources[i], "'2024-05-17'") << i;
      } else if (targets[i] == "interno") {
        EXPECT_EQ(i, 45u);
        EXPECT_EQ(sources[i], "'B''2'");
      } else {
        EXPECT_EQ(sources[i], targets[i]) << i;
      }
    }
    EXPECT_EQ(targets.back(), full ? "identificador_externo" : "DC_DJAI_DescripcionMercaderia");
    EXPECT_TRUE(statement.ends_with(" from caratula where interno = 'A''1'")) << statement;
  }
}

TEST(CopyStatementsTest, InvoiceAndItemStatements) {
  EXPECT_EQ(InvoiceCopyStatement("A", "B'"),
            "insert into facturas (interno, orden, factura) select 'B''', orden, factura From "
            "facturas Where interno = 'A'");
  const std::string items = ItemCopyStatement("A'", "B");
  const auto targets = TargetList(items);
  const auto sources = SelectList(items, "select ", " from subitems");
  ASSERT_EQ(targets.size(), 33u);
  ASSERT_EQ(sources.size(), 33u);
  EXPECT_EQ(sources[0], "'B'");
  for (std::size_t i = 1; i < 33; ++i) EXPECT_EQ(sources[i], targets[i]);
  EXPECT_TRUE(items.ends_with(" from subitems where interno = 'A''' order by id")) << items;
}

}  // namespace
}  // namespace oq
