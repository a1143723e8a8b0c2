#include "host/server_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "host/component_registry.h"
#include "host/failure.h"
#include "test_support.h"

namespace oq {
namespace {

class ServerRegistryTest : public ::testing::Test {
 protected:
  RegisteredClass Class(int n) {
    return {"{00000000-0000-0000-0000-" + std::to_string(100000000000 + n) + "}",
            "Test.Class" + std::to_string(n), "Apartment", "/lib/test" + std::to_string(n) + ".so",
            ""};
  }
  ScopedRegistry scope_;
  ServerRegistry registry_{scope_.file()};
};

TEST_F(ServerRegistryTest, PathFollowsTheEnvironment) {
  EXPECT_EQ(ServerRegistry::DefaultPath(), scope_.file());
  ScopedVariable noOverride("OQ_COMPONENT_REGISTRY", "");
  ScopedVariable home("HOME", "/home/u");
  {
    ScopedVariable xdg("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(ServerRegistry::DefaultPath(), "/xdg/oquardelino/components.json");
  }
  ScopedVariable noXdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(ServerRegistry::DefaultPath(), "/home/u/.config/oquardelino/components.json");
  ScopedVariable noHome("HOME", nullptr);
  EXPECT_THROW(ServerRegistry::DefaultPath(), Failure);
}

TEST_F(ServerRegistryTest, ClassesAreFoundByNameAndId) {
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), std::nullopt) << "a missing file is empty";
  RegisteredClass entry = Class(1);
  entry.classId = "{abcdef00-0000-0000-0000-000000000001}";
  registry_.RegisterClass(entry);
  registry_.RegisterClass(Class(2));

  EXPECT_EQ(registry_.ClassIdOf("TEST.CLASS1"), "{ABCDEF00-0000-0000-0000-000000000001}");
  const auto found = registry_.FindClass("{AbCdEf00-0000-0000-0000-000000000001}");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->progId, "Test.Class1");
  EXPECT_EQ(found->libraryPath, "/lib/test1.so");

  entry.progId = "test.class1";  // the same name, spelt otherwise, now names class 2
  entry.classId = Class(2).classId;
  registry_.RegisterClass(entry);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), Class(2).classId);

  registry_.UnregisterClass(Class(2).classId);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), std::nullopt);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class2"), std::nullopt);
  EXPECT_TRUE(registry_.FindClass("{ABCDEF00-0000-0000-0000-000000000001}"));
  EXPECT_FALSE(std::filesystem::exists(scope_.file().string() + ".tmp"));
}

TEST_F(ServerRegistryTest, ConcurrentRegistrationsLoseNothing) {
  constexpr int kEach = 25;
  std::atomic<int> failures{0};
  auto writer = [&](int first) {
    ServerRegistry own(scope_.file());  // as another program would
    for (int n = first; n < first + kEach; ++n) {
      try {
        own.RegisterClass(Class(n));
      } catch (const Failure&) {
        ++failures;
      }
    }
  };
  std::thread a(writer, 0);
  std::thread b(writer, kEach);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  for (int n = 0; n < 2 * kEach; ++n) {
    EXPECT_EQ(registry_.ClassIdOf(Class(n).progId), Class(n).classId) << n;
  }
}

TEST_F(ServerRegistryTest, DamagedFileOrMissingLibraryCreatesNothing) {
  std::ofstream(scope_.file()) << "[1, 2";
  EXPECT_EQ(FailureNumber([&] { registry_.RegisterClass(Class(1)); }), err::kPathFileAccess);
  std::ifstream in(scope_.file());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[1, 2");
  EXPECT_EQ(FailureNumber([] { CreateObject("Test.Class1"); }), 429);
  std::filesystem::remove(scope_.file());
  registry_.RegisterClass(Class(3));  // a registered name without a loadable library
  EXPECT_EQ(FailureNumber([] { CreateObject("test.class3"); }), 429);
}

}  // namespace
}  // namespace oq
