// The settings store: any key round-trips, an earlier version's file is imported once, a damaged
// file is set aside, failures name their place, and two programs writing at once lose nothing.
#include "platform/settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "host/failure.h"

namespace oq {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

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

  std::filesystem::path folder_;
  std::vector<std::string> warnings_;
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
  // Application and section are kept apart, a second write replaces the value, and a removal
  // removes that one value only.
  store.Save("TRELVO", "OTRA", "4711", "NO");
  store.Save("TRELVO", "PROCESOS", "4711", "OTRA VEZ");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), "OTRA VEZ");
  EXPECT_EQ(store.Get("OTRO", "PROCESOS", "4711"), std::nullopt);
  store.Remove("TRELVO", "PROCESOS", "4711");
  EXPECT_EQ(store.Get("TRELVO", "PROCESOS", "4711"), std::nullopt);
  EXPECT_EQ(store.Get("TRELVO", "OTRA", "4711"), "NO");
  std::ofstream(folder_ / "settings.json") << R"({"TRELVO": {"PROCESOS": {"K1": "SI"}}})";
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), "SI");
  Store().Remove("TRELVO", "PROCESOS", "K1");
  EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "K1"), std::nullopt);
}

// A damaged store or file to import is kept whole under the name that one warning gives, and the
// write goes on.
TEST_F(SettingsStoreTest, ADamagedFileIsSetAsideWithOneWarningAndTheWriteGoesOn) {
  for (const char* name : {"settings.db", "settings.json"}) {
    for (const bool folder : {false, true}) {
      SCOPED_TRACE(std::string(name) + (folder ? " folder" : " junk"));
      TearDown();
      SetUp();
      warnings_.clear();
      if (folder) std::filesystem::create_directories(folder_ / name / "in");
      if (!folder) std::ofstream(folder_ / name) << std::string("\x01\xfe{ junk\0", 8);
      Store().Save("TRELVO", "PROCESOS", "4711", "SI");
      Store().Save("TRELVO", "PROCESOS", "4712", "SI");
      EXPECT_EQ(Store().Get("TRELVO", "PROCESOS", "4711"), "SI");
      ASSERT_EQ(warnings_.size(), 1u);
      const std::size_t from = warnings_[0].find("kept as ") + 8;
      const std::filesystem::path kept =
          warnings_[0].substr(from, warnings_[0].find(", and") - from);
      EXPECT_EQ(std::filesystem::is_directory(kept), folder) << warnings_[0];
      EXPECT_EQ(folder ? 8u : std::filesystem::file_size(kept), 8u);
    }
  }
}

// A lock held elsewhere is waited for within the bound only; each failure names its place.
TEST_F(SettingsStoreTest, FailuresNameTheirPlace) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ / "settings.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT([&] { Store(std::chrono::milliseconds(400)).Save("T", "P", "K", "SI"); },
              ThrowsMessage<Failure>(HasSubstr((folder_ / "settings.db").string() + ": locked")));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(waited >= std::chrono::milliseconds(300) && waited < std::chrono::seconds(3));
  sqlite3_close(other);
  Store().Save("T", "P", "K", "SI");
  EXPECT_TRUE(warnings_.empty());
  // Places that even root cannot write.
  std::ofstream(folder_ / "plain-file") << "x";
  for (const std::filesystem::path& place :
       {folder_ / "plain-file", std::filesystem::path("/proc/self")}) {
    EXPECT_THAT([&] { SettingsStore(place / "settings.db").Save("T", "P", "K", "SI"); },
                ThrowsMessage<Failure>(HasSubstr("Path/File access error (" + place.string())));
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

}  // namespace
}  // namespace oq
