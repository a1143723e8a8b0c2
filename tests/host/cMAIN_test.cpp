// cMAIN as clients reach it: by its methods, by dispatch, and by name through the per-user
// component registry and liboquardelino, loaded as a host loads it.
#include "host/cMAIN.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "host/automation_object.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/dispatch.h"
#include "host/in_process_server.h"
#include "host/server_registry.h"
#include "test_support.h"

namespace oq {
namespace {

using test::FailureOf;
constexpr auto kPut = InvokeKind::kPropertyPut;
constexpr auto kGet = InvokeKind::kPropertyGet;
constexpr auto kMethod = InvokeKind::kMethod;
const std::string kDam(identity::kDataAccessManagerProgId);

struct Connection : Object {};  // any host object: a connection or a manager

class cMAINTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    ComponentRegistry::instance().remove(kDam);
  }
  void TearDown() override { ComponentRegistry::instance().remove(kDam); }
  Variant Invoke(DispId id, InvokeKind kind, std::vector<Variant> args) {
    return dispatch::Invoke(object_, id, kind, args);
  }
  static std::int32_t Refusal(AutomationObject& object, const char* name, InvokeKind kind,
                              std::vector<Variant> args) {
    return FailureOf([&] { object.Invoke(object.GetIDsOfNames(name), kind, args); }).number();
  }
  static RegisteredClass Class(int n) {
    const std::string s = std::to_string(n);
    return {"{00000000-0000-0000-0000-" + std::to_string(100000000000 + n) + "}", "Test.Class" + s,
            "Apartment", "/lib/test" + s + ".so", ""};
  }
  // The library is never closed: the process keeps component libraries loaded.
  template <typename Function>
  static Function Entry(const char* name) {
    static void* const library = ::dlopen(OQ_COMPONENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Function>(library ? ::dlsym(library, name) : nullptr);
  }

  test::TempFolder folder_;  // the user's registry, empty at first
  const std::filesystem::path file_ = folder_.path() / "components.json";
  ScopedVariable variable_{"OQ_COMPONENT_REGISTRY", file_.c_str()};
  ServerRegistry registry_{file_};
  cMAIN object_;
};

TEST_F(cMAINTest, InstancesOfOneThreadShareOneStateThatHoldsCountedReferences) {
  cMAIN second;
  object_.put_pLenMaxInterno(25);
  EXPECT_EQ(second.get_pLenMaxInterno(), 25);
  auto connection = std::make_shared<Connection>();
  std::weak_ptr<Connection> watch = connection;
  object_.setConexionAInternos(connection);
  connection.reset();
  EXPECT_FALSE(watch.expired()) << "the session keeps the host's object alive";
  second.setConexionAInternos(std::make_shared<Connection>());
  EXPECT_TRUE(watch.expired()) << "storing another object releases the previous one";

  bool initial = false;
  std::thread other([&] {
    cMAIN there;
    initial = there.get_pLenMaxInterno() == 0 && !basGLOBAL::State().internos;
    there.put_pLenMaxInterno(99);
  });
  other.join();
  EXPECT_TRUE(initial) << "another thread starts from its own empty state";
  EXPECT_EQ(object_.get_pLenMaxInterno(), 25);
}

// The registered manager is created and dropped at once; the session keeps the caller's object,
// or its earlier one when the registered manager cannot be created.
TEST_F(cMAINTest, DataAccessManagerIsTheCallersObject) {
  auto hostManager = std::make_shared<Connection>();
  basGLOBAL::State().dataAccessManager = hostManager;
  Variant p_DAM = Variant::Object(std::make_shared<Connection>());
  EXPECT_EQ(FailureOf([&] { object_.GetDataAccessManager(p_DAM); }).number(), 429);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);

  std::vector<std::weak_ptr<Connection>> created;
  ComponentRegistry::instance().add(kDam, [&created] {
    auto manager = std::make_shared<Connection>();
    created.push_back(manager);
    return manager;
  });
  p_DAM = Variant::Object(hostManager);
  basGLOBAL::State().dataAccessManager = nullptr;
  object_.GetDataAccessManager(p_DAM);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);
  EXPECT_EQ(p_DAM, Variant::Object(hostManager));
  ASSERT_EQ(created.size(), 1u) << "the registered manager must be created";
  EXPECT_TRUE(created[0].expired()) << "and lives only during the call";
  Variant empty;
  object_.GetDataAccessManager(empty);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, nullptr);

  SetMainFormFactory(nullptr);
  EXPECT_EQ(FailureOf([&] { object_.Mostrar(); }).number(), 429) << "no forms to show";
  EXPECT_EQ(basGLOBAL::State().dialog, nullptr);
}

TEST_F(cMAINTest, DispatchFindsMembersByNameInAnyCaseAndConvertsAsAutomationDoes) {
  const std::pair<const char*, DispId> names[] = {
      {"pLENMaxInterno", 0x68030000},       {"numero_interno", 0x68030001},
      {"GetDataAccessManager", 0x60030002}, {"MOSTRAR", 0x60030003},
      {"setConexionAInternos", 0x60030004}, {"SetFechaActualDeInternos", 0x60030005},
      {"setconexionancm", 0x60030006},
  };
  for (const auto& [name, id] : names) EXPECT_EQ(object_.GetIDsOfNames(name), id) << name;
  for (const char* unknown : {"Numero", "Mostrar ", "", "getNumero_Interno"}) {
    EXPECT_EQ(FailureOf([&] { object_.GetIDsOfNames(unknown); }).number(), 438) << unknown;
  }

  auto connection = std::make_shared<Connection>();
  std::vector<Variant> args{Variant::String("A-100")};
  dispatch::InvokeByName(object_, "Numero_Interno", kPut, args);
  EXPECT_EQ(args[0], Variant::String("A-100")) << "arguments are left alone";
  Invoke(dispatch::kSetFechaActualDeInternos, kMethod, {Variant::String("date('now')")});
  Invoke(dispatch::kSetConexionANcm, kMethod, {Variant::Object(connection)});
  const auto& state = basGLOBAL::State();
  EXPECT_EQ(state.numeroInterno, "A-100");
  EXPECT_EQ(state.fechaActual, "date('now')");
  EXPECT_EQ(state.ncm, connection);
  EXPECT_EQ(state.internos, nullptr);
  Invoke(dispatch::kNumeroInterno, kPut, {Variant()});
  EXPECT_EQ(state.numeroInterno, "") << "Empty is an empty text";

  // Whole numbers round half to even; True is -1.
  const std::pair<Variant, std::int32_t> lengths[] = {
      {Variant::Double(3.5), 4},          {Variant::Double(2.5), 2},
      {Variant::Double(-2.5), -2},        {Variant::Double(-3.5), -4},
      {Variant::Double(0.5), 0},          {Variant::Double(2.500001), 3},
      {Variant::Boolean(true), -1},       {Variant(), 0},
      {Variant::Integer(-32768), -32768}, {Variant::LongLong(INT32_MAX), INT32_MAX},
  };
  for (const auto& [value, stored] : lengths) {
    Invoke(dispatch::kPLenMaxInterno, kPut, {value});
    EXPECT_EQ(Invoke(dispatch::kPLenMaxInterno, kGet | kMethod, {}), Variant::Long(stored));
  }
}

TEST_F(cMAINTest, RefusedCallsFailAsClientsSeeThemAndChangeNothing) {
  basGLOBAL::State().numeroInterno = "N-1";
  basGLOBAL::State().maxLength = 7;
  const Variant text = Variant::String("X");
  const Variant conn = Variant::Object(std::make_shared<Connection>());
  const std::tuple<const char*, DispId, InvokeKind, std::vector<Variant>, std::int32_t> cases[] = {
      {"read of put-only Numero_Interno", dispatch::kNumeroInterno, kGet, {}, 438},
      {"method called as property", dispatch::kMostrar, kGet, {}, 438},
      {"setter called as put", dispatch::kSetConexionAInternos, kPut, {conn}, 438},
      {"unknown id", 0x60030007, kMethod, {}, 438},
      {"missing argument", dispatch::kSetConexionAInternos, kMethod, {}, 450},
      {"extra argument", dispatch::kNumeroInterno, kPut, {text, text}, 450},
      {"argument to a get", dispatch::kPLenMaxInterno, kGet, {text}, 450},
      {"text for an object", dispatch::kSetConexionAInternos, kMethod, {text}, 13},
      {"number for a text", dispatch::kNumeroInterno, kPut, {Variant::Long(5)}, 13},
      {"object for a text", dispatch::kNumeroInterno, kPut, {conn}, 13},
      {"text for the length", dispatch::kPLenMaxInterno, kPut, {Variant::String("25")}, 13},
      {"Null for the length", dispatch::kPLenMaxInterno, kPut, {Variant::Null()}, 13},
      {"length past 32 bits", dispatch::kPLenMaxInterno, kPut, {Variant::Double(3e9)}, 6},
      {"length below 32 bits", dispatch::kPLenMaxInterno, kPut, {Variant::Double(-3e9)}, 6},
  };
  for (const auto& [what, id, kind, args, number] : cases) {
    EXPECT_EQ(FailureOf([&] { Invoke(id, kind, args); }).number(), number) << what;
  }
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "N-1");
  EXPECT_EQ(basGLOBAL::State().maxLength, 7);
  EXPECT_EQ(basGLOBAL::State().internos, nullptr);
  EXPECT_EQ(basGLOBAL::State().fechaActual, "");
}

TEST_F(cMAINTest, RegistryPathFollowsTheEnvironment) {
  EXPECT_EQ(ServerRegistry::DefaultPath(), file_);
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

TEST_F(cMAINTest, ClassesAreFoundByNameAndIdWithoutRegardToCase) {
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

TEST_F(cMAINTest, ConcurrentRegistrationsLoseNothing) {
  auto writer = [&](int first) {
    ServerRegistry own(file_);  // as another program would
    for (int n = first; n < first + 25; ++n) own.RegisterClass(Class(n));
  };
  std::thread a(writer, 0);
  std::thread b(writer, 25);
  a.join();
  b.join();
  for (int n = 0; n < 50; ++n) EXPECT_EQ(registry_.ClassIdOf(Class(n).progId), Class(n).classId);
}

TEST_F(cMAINTest, DamagedFilesOrAMissingLibraryCreateNothing) {
  std::ofstream(file_) << "[1, 2";
  EXPECT_EQ(FailureOf([&] { registry_.RegisterClass(Class(1)); }).number(), err::kPathFileAccess);
  std::ifstream in(file_);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[1, 2") << "left as it was";
  EXPECT_EQ(FailureOf([] { CreateObject("Test.Class1"); }).number(), 429);
  for (const char* content : {"{}", R"({"names": {"Test.Class1": "{X}"}, "classes": 5})",
                              R"({"names": {"Test.Class1": "{X}"}, "classes": {"{X}": 1}})"}) {
    std::ofstream(file_) << content;
    EXPECT_EQ(FailureOf([] { CreateObject("Test.Class1"); }).number(), 429) << content;
    EXPECT_FALSE(registry_.FindClass("{X}")) << content;
  }
  std::filesystem::remove(file_);
  registry_.RegisterClass(Class(3));  // a registered name without a loadable library
  EXPECT_EQ(FailureOf([] { CreateObject("test.class3"); }).number(), 429);
}

TEST_F(cMAINTest, TheLibraryRegistersCMAINByNameAndServesItAlone) {
  const auto canUnloadNow = Entry<oq_can_unload_now_fn>("DllCanUnloadNow");
  const auto registerServer = Entry<oq_register_server_fn>("DllRegisterServer");
  const auto unregisterServer = Entry<oq_unregister_server_fn>("DllUnregisterServer");
  ASSERT_TRUE(canUnloadNow && registerServer && unregisterServer);
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
  ASSERT_EQ(registerServer(), OQ_S_OK);
  const auto entry = registry_.FindClass(std::string(identity::kClassId));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->progId, "oQUARDELINO.cMAIN");
  EXPECT_EQ(entry->libraryPath, std::filesystem::canonical(OQ_COMPONENT_LIBRARY).string());
  EXPECT_TRUE(registry_.FindTypeLibrary(entry->typeLibraryId));
  auto cmain = std::dynamic_pointer_cast<AutomationObject>(CreateObject("oquardelino.cmain"));
  ASSERT_NE(cmain, nullptr);
  EXPECT_EQ(canUnloadNow(), OQ_S_FALSE) << "cMAIN is alive";

  std::vector<Variant> length{Variant::Long(25)};
  cmain->Invoke(cmain->GetIDsOfNames("pLenMaxInterno"), InvokeKind::kPropertyPut, length);
  std::vector<Variant> none;
  EXPECT_EQ(cmain->Invoke(0x68030000, InvokeKind::kPropertyGet, none), Variant::Long(25));
  EXPECT_EQ(basGLOBAL::State().maxLength, 0) << "the library keeps its own session state";
  EXPECT_EQ(Refusal(*cmain, "Numero_Interno", InvokeKind::kPropertyGet, {}), 438);
  EXPECT_EQ(Refusal(*cmain, "GetDataAccessManager", InvokeKind::kMethod, {Variant()}), 429);
  // Qt ends the process when it finds no display; the library must turn that into a failure.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    ::unsetenv(variable);
  }
  EXPECT_EQ(Refusal(*cmain, "Mostrar", InvokeKind::kMethod, {}), 429);
  cmain.reset();
  EXPECT_EQ(canUnloadNow(), OQ_S_OK);

  RegisteredClass other = *entry;  // a class the library does not serve
  other.classId = Class(1).classId;
  other.progId = "Test.Other";
  registry_.RegisterClass(other);
  EXPECT_EQ(FailureOf([] { CreateObject("Test.Other"); }).number(), 429);
  ASSERT_EQ(unregisterServer(), OQ_S_OK);
  EXPECT_FALSE(registry_.FindClass(std::string(identity::kClassId)));
  EXPECT_FALSE(registry_.FindTypeLibrary(entry->typeLibraryId));
  EXPECT_THROW(CreateObject("oQUARDELINO.cMAIN"), Failure);
}

}  // namespace
}  // namespace oq
