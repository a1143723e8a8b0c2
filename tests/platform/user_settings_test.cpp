// The user's settings: the store, where any key round-trips, an earlier version's file is imported
// once, and two programs writing at once lose nothing, a damaged store they both find set aside
// once (a program that held it open meanwhile then uses the new store, and a folder in its place is
// kept whole); and the decimal separator from the locale variables, in their order of precedence.
#include "platform/regional_settings.h"
#include "platform/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "../host/test_support.h"

namespace oq {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStore Store() const { return SettingsStore(folder_ / "settings.db"); }
  // Where a warning says the damaged file is kept.
  static std::filesystem::path KeptAs(const std::string& warning) {
    const std::size_t from = warning.find("kept as ") + 8;
    return warning.substr(from, warning.find(", and", from) - from);
  }
  static std::string Contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  test::TempFolder temp_;
  const std::filesystem::path folder_ = temp_.path();
};

TEST_F(SettingsStoreTest, HostileKeysRoundTripAndAnEarlierVersionsFileIsImportedOnce) {
  const SettingsStore store(folder_ / "nested" / "settings.db");
  store.Remove("TRELVO", "PROCESOS", "4711");  // neither creates a missing store
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "nested"));
  const std::string keys[] = {"4711", "key=value;[s]\"'", " padded ",        "Año-Ñandú",
                              "",     "back\\slash",      "line\r\nbreak\t", std::string(300, 'k')};
  for (const std::string& key : keys) store.Save("TRELVO", "PROCESOS", key, "SI:" + key);
  for (const std::string& key : keys) EXPECT_EQ(store.Get("TRELVO", "PROCESOS", key), "SI:" + key);
  // Application and section apart, a second write replaces, a removal removes that value only.
  store.Save("TRELVO", "OTRA", "4711", "NO");
  store.Save("TRELVO", "PROCESOS", "4711", "OTRA VEZ");
  store.Save("trelvo", "procesos", "4711", "OTRA VEZ");  // names in any case, as the registry's
  EXPECT_EQ(store.Get("Trelvo", "PROCESOS", "4711"), "OTRA VEZ");
  EXPECT_EQ(store.Get("OTRO", "PROCESOS", "4711"), std::nullopt);
  store.Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
  std::ofstream(folder_ / "settings.json") << R"({"TRELVO": {"PROCESOS": {"K1": "SI"}}})";
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), "SI");
  Store().Remove("TRELVO", "PROCESOS", "K1");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), std::nullopt);
}

TEST_F(SettingsStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  std::ofstream(folder_ / "settings.db") << "damaged";  // which both find at their first write
  std::vector<pid_t> children;
  for (const char* writer : {"a", "b"}) {
    children.push_back(::fork());
    if (children.back() != 0) continue;
    try {
      for (int i = 0; i < 60; ++i) Store().Save("T", "P", writer + std::to_string(i), "SI");
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "writer %s: %s\n", writer, failure.what());
      ::_exit(1);
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (const char* writer : {"a", "b"}) {
    for (int i = 0; i < 60; ++i) EXPECT_TRUE(Store().Get("T", "P", writer + std::to_string(i)));
  }
  // The damaged store was set aside once, nothing else is left beside it (no journal), and the
  // store is the user's own.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 2);
  EXPECT_EQ(std::filesystem::status(folder_ / "settings.db").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A program that opened the damaged store before it was set aside (and reads it only later) must
// take neither the journal of the store that replaced it for its own, nor any row of it.
TEST_F(SettingsStoreTest, AProgramHoldingTheDamagedStoreOpenLeavesTheNewStoreWhole) {
  const std::filesystem::path file = folder_ / "settings.db";
  std::ofstream(file) << "damaged";
  sqlite3* early = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &early, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closeEarly(early, sqlite3_close_v2);

  std::vector<std::string> warnings;
  const SettingsStore store(file, {std::chrono::milliseconds(3000),
                                   [&](const std::string& w) { warnings.push_back(w); }});
  store.Save("T", "P", "before", "SI");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(Contents(KeptAs(warnings[0])), "damaged");

  // Another program is writing the new store, its journal live, when the early one reads.
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closeWriter(writer, sqlite3_close_v2);
  // A write larger than its cache: SQLite marks the journal in use (hot) before the commit.
  ASSERT_EQ(
      sqlite3_exec(writer,
                   "pragma cache_size = 2; begin immediate; "
                   "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100) "
                   "insert into settings select 'T', 'P', 'during' || i, "
                   "printf('%.2000c', 'x') from n",
                   nullptr, nullptr, nullptr),
      SQLITE_OK)
      << sqlite3_errmsg(writer);
  sqlite3_exec(early, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
  EXPECT_EQ(sqlite3_exec(writer, "commit", nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(writer);

  EXPECT_EQ(store.Get("T", "P", "before"), "SI");
  EXPECT_EQ(store.Get("T", "P", "during100"), std::string(2000, 'x'));
  // The early program now reads the store everyone else reads.
  int rows = 0;
  sqlite3_exec(
      early, "select count(*) from settings",
      [](void* count, int, char** values, char**) {
        *static_cast<int*>(count) = std::atoi(values[0]);
        return 0;
      },
      &rows, nullptr);
  EXPECT_EQ(rows, 101);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 2);
}

// Set aside only while no program reads or writes it: one that reads, or writes, longer than the
// store waits leaves it as it is, and the call says why it failed.
TEST_F(SettingsStoreTest, ADamagedStoreInUseElsewhereIsLeftAsItIs) {
  const std::filesystem::path file = folder_ / "settings.db";
  std::ofstream(file) << "damaged";
  // SQLite's locks as another program holds them: its shared bytes read-locked by a reader, its
  // reserved byte write-locked by a writer. (An open-file lock conflicts with SQLite's own even in
  // this process.)
  for (const auto& [type, start, length] :
       {std::tuple{F_RDLCK, 0x40000002, 510}, std::tuple{F_WRLCK, 0x40000001, 1}}) {
    SCOPED_TRACE(type);
    const int other = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    struct flock lock {};
    lock.l_type = static_cast<short>(type);
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    ASSERT_EQ(::fcntl(other, F_OFD_SETLK, &lock), 0);

    const SettingsStore store(file, {std::chrono::milliseconds(200), [](const std::string&) {}});
    const Failure failure = test::FailureOf([&] { store.Save("T", "P", "K", "SI"); });
    EXPECT_NE(failure.description().find("in use by another program"), std::string::npos)
        << failure.description();
    EXPECT_EQ(Contents(file), "damaged");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
    ::close(other);
  }
}

TEST_F(SettingsStoreTest, AFolderInTheStoresPlaceIsSetAsideWhole) {
  std::filesystem::create_directory(folder_ / "settings.db");
  std::ofstream(folder_ / "settings.db" / "inside") << "kept";
  std::vector<std::string> warnings;
  const SettingsStore store(
      folder_ / "settings.db",
      {std::chrono::milliseconds(3000), [&](const std::string& w) { warnings.push_back(w); }});
  store.Save("T", "P", "K", "SI");
  EXPECT_EQ(store.Get("T", "P", "K"), "SI");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(Contents(KeptAs(warnings[0]) / "inside"), "kept");
}

TEST(RegionalSettingsTest, TheSeparatorFollowsTheLocaleThatGovernsNumbers) {
  // LC_ALL wins, then LC_NUMERIC, then LANG; then the separator.
  const std::array<const char*, 4> cases[] = {{"", "", "", "."},
                                              {"C", "es_AR.UTF-8", "", "."},
                                              {"", "es_AR.UTF-8", "en_US", ","},
                                              {"", "", "de_DE.UTF-8", ","},
                                              {"", "", "en_GB.UTF-8", "."},
                                              {"", "", "es_MX.UTF-8", "."},
                                              {"", "", "pt_BR", ","},
                                              {"", "", "POSIX", "."}};
  for (const auto& [lcAll, lcNumeric, lang, separator] : cases) {
    ::setenv("LC_ALL", lcAll, 1);
    ::setenv("LC_NUMERIC", lcNumeric, 1);
    ::setenv("LANG", lang, 1);
    EXPECT_EQ(UserDecimalSeparator(), separator) << lcAll << "|" << lcNumeric << "|" << lang;
  }
}

}  // namespace
}  // namespace oq
