// The per-user component registry, and liboquardelino loaded and registered as a host does.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "host/automation_object.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/server_loader.h"
#include "host/server_registry.h"
#include "test_support.h"

namespace oq {
namespace {

using test::FailureOf;
const std::string kClassId(identity::kClassId);

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { basGLOBAL::Reset(); }
  static RegisteredClass Class(int n) {
    const std::string s = std::to_string(n);
    return {"{00000000-0000-0000-0000-" + std::to_string(100000000000 + n) + "}",
            "Test.Class" + s, "Apartment", "/lib/test" + s + ".so", ""};
  }
  // The library is never closed: the process keeps component libraries loaded.
  template <typename Function>
  static Function Entry(const char* name) {
    static void* const library = ::dlopen(OQ_COMPONENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Function>(library ? ::dlsym(library, name) : nullptr);
  }
  static std::int32_t Refusal(AutomationObject& object, const char* name, InvokeKind kind,
                              std::vector<Variant> args) {
    return FailureOf([&] { object.Invoke(object.GetIDsOfNames(name), kind, args); }).number();
  }

  ScopedRegistry scope_;
  ServerRegistry registry_{scope_.file()};
  oq_get_class_object_fn getClassObject_ = Entry<oq_get_class_object_fn>("DllGetClassObject");
  oq_can_unload_now_fn canUnloadNow_ = Entry<oq_can_unload_now_fn>("DllCanUnloadNow");
};

TEST_F(ServerTest, RegistryPathFollowsTheEnvironment) {
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

TEST_F(ServerTest, ClassesAreFoundByNameAndIdWithoutRegardToCase) {
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
}

TEST_F(ServerTest, ConcurrentRegistrationsLoseNothing) {
  constexpr int kEach = 25;
  auto writer = [&](int first) {
    ServerRegistry own(scope_.file());  // as another program would
    for (int n = first; n < first + kEach; ++n) own.RegisterClass(Class(n));
  };
  std::thread a(writer, 0);
  std::thread b(writer, kEach);
  a.join();
  b.join();
  for (int n = 0; n < 2 * kEach; ++n) {
    EXPECT_EQ(registry_.ClassIdOf(Class(n).progId), Class(n).classId) << n;
  }
}

TEST_F(ServerTest, DamagedFilesOrAMissingLibraryCreateNothing) {
  std::ofstream(scope_.file()) << "[1, 2";
  EXPECT_EQ(FailureOf([&] { registry_.RegisterClass(Class(1)); }).number(), err::kPathFileAccess);
  std::ifstream in(scope_.file());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[1, 2") << "left as it was";
  EXPECT_EQ(FailureOf([] { CreateObject("Test.Class1"); }).number(), 429);
  for (const char* content : {"{}", R"({"names": {"Test.Class1": "{X}"}, "classes": 5})",
                              R"({"names": {"Test.Class1": "{X}"}, "classes": {"{X}": 1}})"}) {
    std::ofstream(scope_.file()) << content;
    EXPECT_EQ(FailureOf([] { CreateObject("Test.Class1"); }).number(), 429) << content;
    EXPECT_FALSE(registry_.FindClass("{X}")) << content;
  }
  std::filesystem::remove(scope_.file());
  registry_.RegisterClass(Class(3));  // a registered name without a loadable library
  EXPECT_EQ(FailureOf([] { CreateObject("test.class3"); }).number(), 429);
}

TEST_F(ServerTest, FactoryCreatesCMAINOnlyAndItRunsTheLibrarysOwnComponent) {
  ASSERT_TRUE(getClassObject_ && canUnloadNow_) << ::dlerror();
  EXPECT_EQ(canUnloadNow_(), OQ_S_OK);
  oq_class_factory* factory = reinterpret_cast<oq_class_factory*>(&factory);
  EXPECT_EQ(getClassObject_("{00000000-0000-0000-0000-000000000001}", &factory),
            OQ_CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  ASSERT_EQ(getClassObject_("{f0bec779-ff07-4cc0-ba67-74dac1c1954d}", &factory), OQ_S_OK);
  EXPECT_EQ(canUnloadNow_(), OQ_S_FALSE) << "a factory reference is out";
  oq_object* handle = nullptr;
  EXPECT_EQ(factory->CreateInstance(factory, "{00000000-0000-0000-0000-000000000002}", &handle),
            OQ_E_NOINTERFACE);
  EXPECT_EQ(handle, nullptr);
  ASSERT_EQ(factory->CreateInstance(factory, nullptr, &handle), OQ_S_OK);
  auto cmain = std::dynamic_pointer_cast<AutomationObject>(TakeObject(handle));
  ASSERT_NE(cmain, nullptr);
  factory->LockServer(factory, 1);
  factory->Release(factory);
  EXPECT_EQ(canUnloadNow_(), OQ_S_FALSE);
  factory->LockServer(factory, 0);
  EXPECT_EQ(canUnloadNow_(), OQ_S_FALSE) << "cMAIN is alive";

  std::vector<Variant> length{Variant::Long(25)};
  cmain->Invoke(cmain->GetIDsOfNames("pLenMaxInterno"), InvokeKind::kPropertyPut, length);
  std::vector<Variant> none;
  EXPECT_EQ(cmain->Invoke(0x68030000, InvokeKind::kPropertyGet, none), Variant::Long(25));
  EXPECT_EQ(basGLOBAL::State().maxLength, 0) << "the library keeps its own session state";
  // Failures cross the library boundary as Failure.
  EXPECT_EQ(Refusal(*cmain, "Numero_Interno", InvokeKind::kPropertyGet, {}), 438);
  EXPECT_EQ(Refusal(*cmain, "GetDataAccessManager", InvokeKind::kMethod, {Variant()}), 429);
  // Qt ends the process when it finds no display; the library must turn that into a failure.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    ::unsetenv(variable);
  }
  EXPECT_EQ(Refusal(*cmain, "Mostrar", InvokeKind::kMethod, {}), 429);

  cmain.reset();
  EXPECT_EQ(canUnloadNow_(), OQ_S_OK);
}

TEST_F(ServerTest, RegistrationMakesTheClassCreatableByName) {
  const auto register_ = Entry<oq_register_server_fn>("DllRegisterServer");
  const auto unregister_ = Entry<oq_unregister_server_fn>("DllUnregisterServer");
  ASSERT_TRUE(register_ && unregister_) << ::dlerror();
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
  ASSERT_EQ(register_(), OQ_S_OK);

  const auto entry = registry_.FindClass(kClassId);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->progId, "oQUARDELINO.cMAIN");
  EXPECT_EQ(entry->threadingModel, "Apartment");
  EXPECT_EQ(entry->libraryPath, std::filesystem::canonical(OQ_COMPONENT_LIBRARY).string());
  const auto typeLibrary = registry_.FindTypeLibrary(entry->typeLibraryId);
  ASSERT_TRUE(typeLibrary);
  EXPECT_EQ(typeLibrary->id, "{007D3885-642C-474F-A167-655A5E4077DC}");
  EXPECT_EQ(typeLibrary->version, "1.0");

  auto cmain = std::dynamic_pointer_cast<AutomationObject>(CreateObject("oquardelino.cmain"));
  ASSERT_NE(cmain, nullptr);
  std::vector<Variant> date{Variant::String("'2024-01-02'")};
  cmain->Invoke(cmain->GetIDsOfNames("setFechaActualDeInternos"), InvokeKind::kMethod, date);

  ASSERT_EQ(unregister_(), OQ_S_OK);
  EXPECT_FALSE(registry_.FindClass(kClassId));
  EXPECT_FALSE(registry_.FindTypeLibrary(entry->typeLibraryId));
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
}

}  // namespace
}  // namespace oq
