// Loads liboquardelino as a host does and creates cMAIN through its entry points.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/automation_object.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/server_loader.h"
#include "host/server_registry.h"
#include "test_support.h"

namespace oq {
namespace {

const std::string kClassId(identity::kClassId);

class ServerLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    ASSERT_TRUE(getClassObject_ && canUnloadNow_ && register_ && unregister_) << ::dlerror();
  }
  // The library is never closed: the process keeps component libraries loaded.
  template <typename Function>
  static Function Entry(const char* name) {
    static void* const library = ::dlopen(OQ_COMPONENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Function>(library ? ::dlsym(library, name) : nullptr);
  }
  std::shared_ptr<AutomationObject> Create(oq_class_factory* factory) {
    oq_object* handle = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory, nullptr, &handle), OQ_S_OK);
    return std::dynamic_pointer_cast<AutomationObject>(TakeObject(handle));
  }
  std::int32_t FailureOf(AutomationObject& object, const char* name, InvokeKind kind,
                         std::vector<Variant> args) {
    return FailureNumber([&] { object.Invoke(object.GetIDsOfNames(name), kind, args); });
  }

  ScopedRegistry scope_;
  oq_get_class_object_fn getClassObject_ = Entry<oq_get_class_object_fn>("DllGetClassObject");
  oq_can_unload_now_fn canUnloadNow_ = Entry<oq_can_unload_now_fn>("DllCanUnloadNow");
  oq_register_server_fn register_ = Entry<oq_register_server_fn>("DllRegisterServer");
  oq_unregister_server_fn unregister_ = Entry<oq_unregister_server_fn>("DllUnregisterServer");
};

TEST_F(ServerLibraryTest, FactoryCreatesCMAINOnlyAndItRunsTheLibrarysOwnComponent) {
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
  std::shared_ptr<AutomationObject> cmain = Create(factory);
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
  EXPECT_EQ(FailureOf(*cmain, "Numero_Interno", InvokeKind::kPropertyGet, {}), 438);
  EXPECT_EQ(FailureOf(*cmain, "GetDataAccessManager", InvokeKind::kMethod, {Variant()}), 429);

  cmain.reset();
  EXPECT_EQ(canUnloadNow_(), OQ_S_OK);
}

TEST_F(ServerLibraryTest, MostrarWithoutADisplayFailsInsteadOfEndingTheHost) {
  // Qt ends the process when it finds no display; the library must turn that into a failure.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    ::unsetenv(variable);
  }
  oq_class_factory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kClassId.c_str(), &factory), OQ_S_OK);
  std::shared_ptr<AutomationObject> cmain = Create(factory);
  factory->Release(factory);
  ASSERT_NE(cmain, nullptr);
  EXPECT_EQ(FailureOf(*cmain, "Mostrar", InvokeKind::kMethod, {}), 429);
}

TEST_F(ServerLibraryTest, RegistrationMakesTheClassCreatableByName) {
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
  ASSERT_EQ(register_(), OQ_S_OK);

  const ServerRegistry registry(scope_.file());
  const auto entry = registry.FindClass(kClassId);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->progId, "oQUARDELINO.cMAIN");
  EXPECT_EQ(entry->threadingModel, "Apartment");
  EXPECT_EQ(entry->libraryPath, std::filesystem::canonical(OQ_COMPONENT_LIBRARY).string());
  const auto typeLibrary = registry.FindTypeLibrary(entry->typeLibraryId);
  ASSERT_TRUE(typeLibrary);
  EXPECT_EQ(typeLibrary->id, "{007D3885-642C-474F-A167-655A5E4077DC}");
  EXPECT_EQ(typeLibrary->name, "oQUARDELINO");
  EXPECT_EQ(typeLibrary->version, "1.0");

  auto cmain = std::dynamic_pointer_cast<AutomationObject>(CreateObject("oquardelino.cmain"));
  ASSERT_NE(cmain, nullptr);
  std::vector<Variant> date{Variant::String("'2024-01-02'")};
  cmain->Invoke(cmain->GetIDsOfNames("setFechaActualDeInternos"), InvokeKind::kMethod, date);

  ASSERT_EQ(unregister_(), OQ_S_OK);
  EXPECT_FALSE(registry.FindClass(kClassId));
  EXPECT_FALSE(registry.FindTypeLibrary(entry->typeLibraryId));
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
}

}  // namespace
}  // namespace oq
