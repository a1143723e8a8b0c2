// The settings store: any key round-trips, writes are whole, and two programs writing at once
// lose nothing.
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "../host/test_support.h"
#include "host/failure.h"

namespace oq {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/oq_settings_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path folder_;
};

TEST_F(SettingsStoreTest, HostileKeysAndValuesRoundTrip) {
  const SettingsStore store(folder_ / "nested" / "settings.json");
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
}

TEST_F(SettingsStoreTest, AMissingStoreHasNothingAndADamagedOrUnwritableOneFails) {
  const SettingsStore store(folder_ / "settings.json");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  std::ofstream(folder_ / "settings.json") << "{ not json";
  EXPECT_THROW(store.Get("TRELVO", "PROCESOS", "4711"), Failure);
  for (const auto& file : {folder_ / "settings.json", folder_ / "settings.json" / "x.json"}) {
    try {
      SettingsStore(file).Save("TRELVO", "PROCESOS", "4711", "SI");
      FAIL() << "a damaged store was overwritten, or a folder made inside a file";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 75);
    }
  }
  std::ifstream in(folder_ / "settings.json");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{ not json");
}

TEST_F(SettingsStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
  const SettingsStore store(folder_ / "settings.json");
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
  // Every write replaced the file whole: no temporary file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "settings.json" || name == "settings.json.lock") << name;
  }
}

TEST(SettingsStoreLocationTest, FollowsTheXdgConfigFolderConvention) {
  ScopedVariable xdg("XDG_CONFIG_HOME", "/srv/config");
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/srv/config/oquardelino/settings.json");
  ScopedVariable relative("XDG_CONFIG_HOME", "relative/ignored");
  ScopedVariable home("HOME", "/home/ana");
  EXPECT_EQ(SettingsStore::ForCurrentUser().file(), "/home/ana/.config/oquardelino/settings.json");
}

}  // namespace
}  // namespace oq
