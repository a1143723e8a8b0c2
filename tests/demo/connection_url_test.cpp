#include "connection_url.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app_paths.h"
#include "host/recordset.h"
#include "temp_folder.h"

namespace oq::app {
namespace {

Variant Pragma(HostConnection& connection, const std::string& name,
               const std::string& column = "") {
  Variant recordset;
  connection.put_sql("pragma " + name);
  connection.crearrs(recordset);
  return dynamic_cast<Recordset&>(*recordset.asObject())
      .Fields(column.empty() ? name : column)
      .Value();
}

TEST(ConnectionUrl, OpensSqliteFilesWithTheirOptions) {
  test::TempFolder folder;
  const std::string path = folder.file("x.db");
  auto created = OpenConnection("sqlite:" + path, true);
  EXPECT_EQ(Pragma(*created, "journal_mode"), Variant::String("wal"));
  created.reset();

  auto durable =
      OpenConnection("sqlite://" + path + "?journal_mode=DELETE&synchronous=FULL", false);
  EXPECT_EQ(Pragma(*durable, "journal_mode"), Variant::String("delete"));
  EXPECT_EQ(Pragma(*durable, "synchronous"), Variant::Long(2));
  auto patient = OpenConnection("sqlite:" + path + "?busy_timeout=1500", false);
  EXPECT_EQ(Pragma(*patient, "busy_timeout", "timeout"), Variant::Long(1500));
  EXPECT_EQ(DialectOf("sqlite:" + path), Dialect::kSqlite);
}

TEST(ConnectionUrl, RefusesWhatItCannotOpen) {
  test::TempFolder folder;
  const std::string missing = folder.file("missing.db");
  try {
    OpenConnection("sqlite:" + missing, false);
    ADD_FAILURE() << "opened a missing file";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_FALSE(std::filesystem::exists(missing));  // a copy must not create an empty database
  EXPECT_THROW(OpenConnection("mysql://host/db", true), std::invalid_argument);
  EXPECT_THROW(DialectOf(missing), std::invalid_argument);
  EXPECT_THROW(OpenConnection("sqlite:", true), std::invalid_argument);
  EXPECT_THROW(OpenConnection("sqlite:" + missing + "?cache=big", true), std::invalid_argument);
  EXPECT_THROW(OpenConnection("sqlite:" + missing + "?busy_timeout=soon", true),
               std::invalid_argument);
  EXPECT_THROW(OpenConnection("sqlite:" + missing + "?journal_mode", true), std::invalid_argument);
}

TEST(AppPaths, DataFolderFollowsXdgThenHome) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  const std::string home = savedHome ? savedHome : "";

  setenv("XDG_DATA_HOME", "/data/x", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultDataFolder(), "/data/x/oquardelino");
  EXPECT_EQ(DefaultInternosPath(), "/data/x/oquardelino/internos.db");
  setenv("XDG_DATA_HOME", "relative", 1);
  EXPECT_EQ(DefaultNcmPath(), "/home/u/.local/share/oquardelino/ncm.db");
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  EXPECT_THROW(DefaultDataFolder(), std::runtime_error);

  if (savedXdg) setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  if (savedHome) setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace oq::app
