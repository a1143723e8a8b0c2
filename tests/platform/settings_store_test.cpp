// The settings store: any key round-trips, writes are whole, and two programs writing at once
// lose nothing.
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

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
  void WriteJson(int marks) {
    nlohmann::json json;
    for (int i = 0; i < marks; ++i) json["TRELVO"]["PROCESOS"]["K" + std::to_string(i)] = "SI";
    std::ofstream(folder_ / "settings.json") << json.dump();
  }

  std::filesystem::path folder_;
  std::vector<std::string> warnings_;
};

TEST_F(SettingsStoreTest, HostileKeysAndValuesRoundTrip) {
  const SettingsStore store(folder_ / "nested" / "settings.db");
  store.Remove("TRELVO", "PROCESOS", "4711");  // neither creates a missing store
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "nested"));
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
  store.Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
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
      const std::filesystem::path kept = warning.substr(from, warning.find(", and the") - from);
      EXPECT_EQ(std::filesystem::status(kept).type(), kind) << warning;
      EXPECT_EQ(kind == std::filesystem::file_type::regular ? file_size(kept) : 0, size);
    }
  }
}

TEST_F(SettingsStoreTest, ALockHeldElsewhereIsWaitedForWithinTheBoundOnly) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ / "settings.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  const SettingsStore store = Store(std::chrono::milliseconds(400));
  const auto start = Clock::now();
  const Failure failure = test::FailureOf([&] { store.Save("TRELVO", "PROCESOS", "4712", "SI"); });
  const double waited = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(failure.number(), 75);
  EXPECT_NE(failure.description().find((folder_ / "settings.db").string() + ": locked"),
            std::string::npos)
      << failure.description();
  EXPECT_TRUE(waited >= 0.3 && waited < 3.0) << waited;
  sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  store.Save("TRELVO", "PROCESOS", "4712", "SI");
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
  // Seconds per write, over twenty writes, so that one slow flush to disk weighs little.
  const auto perWrite = [](const SettingsStore& store) {
    const auto start = Clock::now();
    for (int i = 0; i < 20; ++i) store.Save("TRELVO", "PROCESOS", "w" + std::to_string(i), "SI");
    return std::chrono::duration<double>(Clock::now() - start).count() / 20;
  };
  const double first = perWrite(SettingsStore(folder_ / "small" / "settings.db"));
  WriteJson(100000);
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K99999"), "SI");
  const double last = perWrite(Store());
  std::printf("a write to a store of 1 mark %.4f s, of 100000 marks %.4f s\n", first, last);
  EXPECT_LT(last, 10 * first + 0.05);  // rewriting 100000 marks whole takes about half a second

  Store().Remove("TRELVO", "PROCESOS", "K1");  // and not imported again
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), std::nullopt);
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(SettingsStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  std::ofstream(folder_ / "settings.db") << "damaged";  // which both find at their first write
  const SettingsStore store = Store();
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
  // The damaged store was set aside once, nothing else is left beside the store (no journal), and
  // the store is the user's own.
  int setAside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    if (entry.path().filename() != "settings.db" && ++setAside) continue;
    EXPECT_EQ(entry.status().permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  EXPECT_EQ(setAside, 1);
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
