// The settings store: any key round-trips, writes are whole and bounded in time, two programs
// writing at once lose nothing, and a damaged store never stops a write.
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>

#include "../host/test_support.h"
#include "host/failure.h"

namespace oq {
namespace {

using Clock = std::chrono::steady_clock;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/oq_settings_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  SettingsStore Store(std::chrono::milliseconds lockWait = std::chrono::seconds(3)) {
    return SettingsStore(folder_ / "settings.db",
                         {lockWait, [this](const std::string& w) { warnings_.push_back(w); }});
  }
  // A settings.json of an earlier version beside the store, holding `marks` marks "K<n>" -> "SI".
  void WriteJson(int marks, const std::string& value = "SI") {
    nlohmann::json json;
    for (int i = 0; i < marks; ++i) json["TRELVO"]["PROCESOS"]["K" + std::to_string(i)] = value;
    std::ofstream(folder_ / "settings.json") << json.dump();
  }
  // The seconds that the quickest of five writes to `store` took.
  static double QuickestWrite(const SettingsStore& store) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
      const auto start = Clock::now();
      store.Save("TRELVO", "PROCESOS", "timed" + std::to_string(i), "SI");
      best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
  }

  std::filesystem::path folder_;
  std::vector<std::string> warnings_;
};

TEST_F(SettingsStoreTest, HostileKeysAndValuesRoundTrip) {
  const SettingsStore store(folder_ / "nested" / "settings.db");
  const std::string keys[] = {"4711",
                              "a=b",
                              "x;y",
                              "[PROCESOS]",
                              "\"quoted\"",
                              "it's",
                              " padded ",
                              "Año-Ñandú",
                              "",
                              "back\\slash",
                              "line\r\nbreak",
                              "tab\there",
                              "#comment",
                              "{\"json\":1}",
                              "key=value;[s]\"'",
                              std::string("nul\0inside", 10),
                              std::string(300, 'k')};
  for (const std::string& key : keys) store.Save("TRELVO", "PROCESOS", key, "SI:" + key);
  for (const std::string& key : keys) {
    SCOPED_TRACE(key);
    EXPECT_EQ(store.Get("TRELVO", "PROCESOS", key), "SI:" + key);
  }
  // Application and section are kept apart, and a second write replaces the value.
  store.Save("TRELVO", "OTRA", "4711", "NO");
  store.Save("TRELVO", "PROCESOS", "4711", "OTRA VEZ");
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), "OTRA VEZ");
  EXPECT_EQ(store.Get("OTRO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "missing"), std::nullopt);
  // Removing takes back one value only, and a value that is not there is no error.
  store.Remove("TRELVO", "PROCESOS", "4711");
  store.Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
}

TEST_F(SettingsStoreTest, AMissingStoreHasNothingAndIsNotCreatedByReading) {
  Store().Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

TEST_F(SettingsStoreTest, ADamagedFileIsSetAsideWithOneWarningAndTheWriteGoesOn) {
  const std::pair<const char*, std::function<void(const std::filesystem::path&)>> damages[] = {
      {"junk", [](const auto& file) { std::ofstream(file) << std::string("\x01\xfe{ junk\0", 8); }},
      {"a folder", [](const auto& file) { std::filesystem::create_directories(file / "in"); }},
      {"cut short", [this](const std::filesystem::path& file) {
         WriteJson(3000);
         if (file.extension() == ".db") Store().Save("TRELVO", "PROCESOS", "first", "SI");
         std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
       }}};
  for (const char* name : {"settings.db", "settings.json"}) {
    for (const auto& [what, damage] : damages) {
      SCOPED_TRACE(std::string(name) + " " + what);
      TearDown();
      SetUp();
      warnings_.clear();
      damage(folder_ / name);
      const auto kind = std::filesystem::status(folder_ / name).type();
      const auto size = kind == std::filesystem::file_type::regular ? file_size(folder_ / name) : 0;

      Store().Save("TRELVO", "PROCESOS", "4711", "SI");
      Store().Save("TRELVO", "PROCESOS", "4712", "SI");
      EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "4711"), "SI");
      ASSERT_EQ(warnings_.size(), 1u);
      // Kept whole, under the name that the warning gives.
      const std::string& warning = warnings_[0];
      const std::size_t from = warning.find("kept as ") + 8;
      const std::filesystem::path kept = warning.substr(from, warning.find(" and a ") - from);
      EXPECT_EQ(kept.parent_path(), folder_) << warning;
      EXPECT_EQ(std::filesystem::status(kept).type(), kind) << warning;
      EXPECT_EQ(kind == std::filesystem::file_type::regular ? file_size(kept) : 0, size);
    }
  }
}

TEST_F(SettingsStoreTest, ALockHeldElsewhereIsWaitedForWithinTheBoundOnly) {
  Store().Save("TRELVO", "PROCESOS", "4711", "SI");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ / "settings.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  const SettingsStore store = Store(std::chrono::milliseconds(400));
  const std::function<void()> calls[] = {[&] { store.Save("TRELVO", "PROCESOS", "4712", "SI"); },
                                         [&] { store.Get("TRELVO", "PROCESOS", "4711"); },
                                         [&] { store.Remove("TRELVO", "PROCESOS", "4711"); }};
  for (const auto& call : calls) {
    const auto start = Clock::now();
    const Failure failure = test::FailureOf(call);
    const double waited = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(failure.number(), 75);
    EXPECT_NE(failure.description().find((folder_ / "settings.db").string() + ": locked"),
              std::string::npos)
        << failure.description();
    EXPECT_GE(waited, 0.3);
    EXPECT_LT(waited, 3.0);
  }
  sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  store.Save("TRELVO", "PROCESOS", "4712", "SI");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), "SI");
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenFailsNamingItsPlace) {
  std::ofstream(folder_ / "plain-file") << "x";
  // Root obeys neither permission bits nor anything short of these.
  const std::filesystem::path places[] = {folder_ / "plain-file" / "settings.db",
                                          "/proc/self/settings.db"};
  for (const auto& place : places) {
    const Failure failure =
        test::FailureOf([&] { SettingsStore(place).Save("TRELVO", "PROCESOS", "4711", "SI"); });
    EXPECT_EQ(failure.number(), 75);
    EXPECT_NE(failure.description().find(place.parent_path().string()), std::string::npos)
        << failure.description();
  }
}

TEST_F(SettingsStoreTest, ASettingsJsonIsImportedOnceAndAWriteCostsTheSameWith100000Marks) {
  const SettingsStore small(folder_ / "small" / "settings.db");
  small.Save("TRELVO", "PROCESOS", "first", "SI");
  const double withOne = QuickestWrite(small);

  WriteJson(100000);
  auto start = Clock::now();
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K99999"), "SI");
  const double import = std::chrono::duration<double>(Clock::now() - start).count();
  const double withMany = QuickestWrite(Store());
  std::printf("import of 100000 marks %.3f s; one write with 1 mark %.4f s, with 100000 %.4f s\n",
              import, withOne, withMany);
  EXPECT_LT(withMany, 10 * withOne + 0.005);

  WriteJson(3, "changed later");  // the old file is not read again
  Store().Remove("TRELVO", "PROCESOS", "K1");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K0"), "SI");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), std::nullopt);
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(SettingsStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  const SettingsStore store(folder_ / "settings.db");
  constexpr int kWrites = 60;
  std::vector<pid_t> children;
  for (const char* writer : {"a", "b"}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        for (int i = 0; i < kWrites; ++i) {
          store.Save("TRELVO", "PROCESOS", std::string(writer) + std::to_string(i), "SI");
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int found = 0;
  for (const char* writer : {"a", "b"}) {
    for (int i = 0; i < kWrites; ++i) {
      found += store.Get("TRELVO", "PROCESOS", std::string(writer) + std::to_string(i)).has_value();
    }
  }
  EXPECT_EQ(found, 2 * kWrites);
  // Nothing is left beside the store (no journal), and it is the user's own.
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename(), "settings.db");
    EXPECT_EQ(entry.status().permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
}

TEST(SettingsStoreLocationTest, FollowsTheXdgConfigFolderConvention) {
  ScopedVariable xdg("XDG_CONFIG_HOME", "/srv/config");
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/srv/config/oquardelino/settings.db");
  ScopedVariable relative("XDG_CONFIG_HOME", "relative/ignored");
  ScopedVariable home("HOME", "/home/ana");
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/home/ana/.config/oquardelino/settings.db");
}

}  // namespace
}  // namespace oq
