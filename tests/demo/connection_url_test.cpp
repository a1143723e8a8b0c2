// The program's database URLs and its data folder.
#include "careful_host/connection_url.h"

#include <gtest/gtest.h>

#include "../host/test_support.h"
#include "demo/demo_paths.h"
#include "host/recordset.h"

namespace oq::careful {
namespace {

TEST(ConnectionUrl, OpensSqliteFilesWithTheirOptionsAndRefusesWhatItCannotOpen) {
  test::TempFolder folder;
  const std::string path = folder.file("x.db");
  const auto pragma = [](const std::string& url, const std::string& name, const char* column) {
    auto connection = OpenConnection(url, true);
    Variant recordset;
    connection->put_sql("pragma " + name);
    connection->crearrs(recordset);
    return dynamic_cast<Recordset&>(*recordset.asObject()).Fields(column).Value();
  };
  // A file keeps the journal mode it has, unless its URL asks for another.
  EXPECT_EQ(pragma("sqlite:" + path, "journal_mode", "journal_mode"), Variant::String("delete"));
  EXPECT_EQ(pragma("sqlite:" + path, "synchronous", "synchronous"), Variant::Long(2));  // FULL
  EXPECT_EQ(pragma("sqlite:" + path + "?journal_mode=wal&synchronous=NORMAL", "synchronous",
                   "synchronous"),
            Variant::Long(1));
  EXPECT_EQ(pragma("sqlite://" + path, "journal_mode", "journal_mode"), Variant::String("wal"));
  EXPECT_EQ(DialectOf("sqlite:" + path), Dialect::kSqlite);

  const std::string missing = folder.file("missing.db");
  EXPECT_THROW(OpenConnection("sqlite:" + missing, false), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(missing));  // a copy must not create an empty database
  EXPECT_THROW(OpenConnection("mysql://host/db", true), std::invalid_argument);
  EXPECT_THROW(DialectOf(missing), std::invalid_argument);
  for (const char* bad : {"", "?cache=big", "?busy_timeout=soon", "?journal_mode"}) {
    const std::string url = "sqlite:" + (*bad ? missing + bad : "");
    EXPECT_THROW(OpenConnection(url, true), std::invalid_argument) << url;
  }
  for (const char* bad : {"?journal_mode=WAL;drop", "?synchronous=SOMETIMES"}) {
    EXPECT_THROW(OpenConnection("sqlite:" + path + bad, true), Failure) << bad;  // from SQLite
  }
}

// XDG_DATA_HOME, when set, is followed by the installed package's test.
TEST(AppPaths, DataFolderFallsBackToHome) {
  ScopedVariable home("HOME", "/home/u");
  ScopedVariable relative("XDG_DATA_HOME", "relative");
  EXPECT_EQ(demo::DefaultNcmPath(), "/home/u/.local/share/oquardelino/ncm.db");
  ScopedVariable noXdg("XDG_DATA_HOME", nullptr);
  ScopedVariable noHome("HOME", nullptr);
  EXPECT_THROW(demo::DefaultDataFolder(), std::runtime_error);
}

}  // namespace
}  // namespace oq::careful
