// The settings store: any key round-trips, a damaged file is set aside, a lock is waited for within
// its bound, an earlier version's file is imported once, and two programs writing lose nothing.
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "host/failure.h"

namespace oq {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/oq_settings_XXXXXX";
    folder_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  SettingsStore Store(std::chrono::milliseconds lockWait = std::chrono::seconds(3)) {
    return SettingsStore(folder_ / "settings.db",
                         {lockWait, [this](const std::string& w) { warnings_.push_back(w); }});
  }
  // The failure of `call`, as "number description".
  static std::string Thrown(const std::function<void()>& call) {
    try {
      call();
    } catch (const Failure& failure) {
      return std::to_string(failure.number()) + " " + failure.description();
    }
    return "";
  }

  std::filesystem::path folder_;
  std::vector<std::string> warnings_;
};

TEST_F(SettingsStoreTest, HostileKeysAndValuesRoundTrip) {
  const SettingsStore store(folder_ / "nested" / "settings.db");
  store.Remove("TRELVO", "PROCESOS", "4711");  // neither creates a missing store
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "nested"));
  const std::string keys[] = {
      "4711",        "key=value;[s]\"'", " padded ",     "Año-Ñandú",          "",
      "back\\slash", "line\r\nbreak\t",  "{\"json\":1}", std::string(300, 'k')};
  for (const std::string& key : keys) store.Save("TRELVO", "PROCESOS", key, "SI:" + key);
  for (const std::string& key : keys) EXPECT_EQ(store.Get("TRELVO", "PROCESOS", key), "SI:" + key);
  // Application and section are kept apart, a second write replaces the value, and a removal
  // removes that one value only.
  store.Save("TRELVO", "OTRA", "4711", "NO");
  store.Save("TRELVO", "PROCESOS", "4711", "OTRA VEZ");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), "OTRA VEZ");
  EXPECT_EQ(store.Get("OTRO", "PROCESOS", "4711"), std::nullopt);
  store.Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
  // The file of an earlier version beside a new store is imported once.
  std::ofstream(folder_ / "settings.json") << R"({"TRELVO": {"PROCESOS": {"K1": "SI"}}})";
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), "SI");
  Store().Remove("TRELVO", "PROCESOS", "K1");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), std::nullopt);
}

TEST_F(SettingsStoreTest, ADamagedFileIsSetAsideWithOneWarningAndTheWriteGoesOn) {
  for (const char* name : {"settings.db", "settings.json"}) {
    for (const char* damage : {"junk", "a folder", "cut short"}) {
      SCOPED_TRACE(std::string(name) + " " + damage);
      TearDown();
      SetUp();
      warnings_.clear();
      const auto file = folder_ / name;
      if (damage == std::string("a folder")) std::filesystem::create_directories(file / "in");
      if (damage == std::string("junk")) std::ofstream(file) << std::string("\x01\xfe{ j\0", 6);
      if (damage == std::string("cut short")) {
        nlohmann::json json;
        for (int i = 0; i < 3000; ++i) json["TRELVO"]["PROCESOS"]["K" + std::to_string(i)] = "SI";
        std::ofstream(folder_ / "settings.json") << json.dump();
        if (file.extension() == ".db") Store().Save("TRELVO", "PROCESOS", "first", "SI");
        std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
      }
      const auto kind = std::filesystem::status(file).type();
      const auto size = std::filesystem::is_regular_file(file) ? file_size(file) : 0;
      Store().Save("TRELVO", "PROCESOS", "4711", "SI");
      Store().Save("TRELVO", "PROCESOS", "4712", "SI");
      EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "4711"), "SI");
      ASSERT_EQ(warnings_.size(), 1u);
      // Kept whole, under the name that the warning gives.
      const std::size_t from = warnings_[0].find("kept as ") + 8;
      const std::filesystem::path kept =
          warnings_[0].substr(from, warnings_[0].find(", and") - from);
      EXPECT_EQ(std::filesystem::status(kept).type(), kind) << warnings_[0];
      EXPECT_EQ(std::filesystem::is_regular_file(kept) ? file_size(kept) : 0, size);
    }
  }
}

// A lock held elsewhere is waited for within the bound only; each failure names its place.
TEST_F(SettingsStoreTest, FailuresNameTheirPlace) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ / "settings.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  const std::string locked = Thrown(
      [&] { Store(std::chrono::milliseconds(400)).Save("TRELVO", "PROCESOS", "4712", "SI"); });
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(locked.starts_with("75 ") &&
              locked.find((folder_ / "settings.db").string() + ": locked") != std::string::npos)
      << locked;
  EXPECT_TRUE(waited >= 0.3 && waited < 3.0) << waited;
  sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  Store().Save("TRELVO", "PROCESOS", "4712", "SI");
  EXPECT_TRUE(warnings_.empty());
  // Places that even root cannot write.
  std::ofstream(folder_ / "plain-file") << "x";
  for (const std::filesystem::path& place :
       {folder_ / "plain-file", std::filesystem::path("/proc/self")}) {
    const std::string failure = Thrown(
        [&] { SettingsStore(place / "settings.db").Save("TRELVO", "PROCESOS", "4711", "SI"); });
    EXPECT_TRUE(failure.starts_with("75 ") && failure.find(place.string()) != std::string::npos)
        << failure;
  }
}

TEST_F(SettingsStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  std::ofstream(folder_ / "settings.db") << "damaged";  // which both find at their first write
  std::vector<pid_t> children;
  for (const char* writer : {"a", "b"}) {
    children.push_back(::fork());
    if (children.back() != 0) continue;
    try {
      for (int i = 0; i < 60; ++i) Store().Save("T", "P", writer + std::to_string(i), "SI");
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

TEST(SettingsStoreLocationTest, FollowsTheXdgConfigFolderConvention) {
  ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/srv/config/oquardelino/settings.db");
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  ::setenv("HOME", "/home/ana", 1);
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/home/ana/.config/oquardelino/settings.db");
}

}  // namespace
}  // namespace oq
