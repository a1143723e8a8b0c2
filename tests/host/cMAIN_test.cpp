// cMAIN by its methods, by dispatch, and by name through the user's registry and liboquardelino.
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
using V = Variant;

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
  static Variant ByName(AutomationObject& object, const char* name, InvokeKind kind,
                        std::vector<Variant> args = {}) {
    return object.Invoke(object.GetIDsOfNames(name), kind, args);
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

TEST_F(cMAINTest, ThreadsStateHoldsTheCallersObjectsByCountedReference) {
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
  std::thread([&] {
    cMAIN there;
    initial = there.get_pLenMaxInterno() == 0 && !basGLOBAL::State().internos;
    there.put_pLenMaxInterno(99);
  }).join();
  EXPECT_TRUE(initial) << "another thread starts from its own empty state";
  EXPECT_EQ(object_.get_pLenMaxInterno(), 25);

  // The registered manager lives only during the call; the session keeps the caller's object.
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

TEST_F(cMAINTest, DispatchFindsMembersInAnyCaseConvertsAsAutomationDoesAndRefusesTheRest) {
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
  std::vector<Variant> put{Variant::String("A-100")};
  dispatch::InvokeByName(object_, "Numero_Interno", kPut, put);
  EXPECT_EQ(put[0], Variant::String("A-100")) << "arguments are left alone";
  Invoke(dispatch::kSetFechaActualDeInternos, kMethod, {Variant::String("date('now')")});
  Invoke(dispatch::kSetConexionANcm, kMethod, {Variant::Object(connection)});
  auto& state = basGLOBAL::State();
  EXPECT_EQ(state.numeroInterno, "A-100");
  EXPECT_EQ(state.fechaActual, "date('now')");
  EXPECT_EQ(state.ncm, connection);
  EXPECT_EQ(state.internos, nullptr);
  Invoke(dispatch::kNumeroInterno, kPut, {Variant()});
  EXPECT_EQ(state.numeroInterno, "") << "Empty is an empty text";
  state.numeroInterno = "N-1";

  // Whole numbers round half to even; True is -1.
  const std::pair<Variant, std::int32_t> lengths[] = {
      {V::Double(3.5), 4},          {V::Double(2.5), 2},
      {V::Double(-2.5), -2},        {V::Double(-3.5), -4},
      {V::Double(0.5), 0},          {V::Double(2.500001), 3},
      {V::Boolean(true), -1},       {V(), 0},
      {V::Integer(-32768), -32768}, {V::LongLong(INT32_MAX), INT32_MAX}};
  for (const auto& [value, stored] : lengths) {
    Invoke(dispatch::kPLenMaxInterno, kPut, {value});
    EXPECT_EQ(Invoke(dispatch::kPLenMaxInterno, kGet | kMethod, {}), Variant::Long(stored));
  }

  // Refused calls fail as clients see them and change nothing.
  const Variant text = V::String("X"), conn = V::Object(std::make_shared<Connection>());
  const std::tuple<const char*, DispId, InvokeKind, std::vector<Variant>, std::int32_t> cases[] = {
      {"read of put-only Numero_Interno", dispatch::kNumeroInterno, kGet, {}, 438},
      {"method called as property", dispatch::kMostrar, kGet, {}, 438},
      {"setter called as put", dispatch::kSetConexionAInternos, kPut, {conn}, 438},
      {"unknown id", 0x60030007, kMethod, {}, 438},
      {"missing argument", dispatch::kSetConexionAInternos, kMethod, {}, 450},
      {"extra argument", dispatch::kNumeroInterno, kPut, {text, text}, 450},
      {"argument to a get", dispatch::kPLenMaxInterno, kGet, {text}, 450},
      {"text for an object", dispatch::kSetConexionAInternos, kMethod, {text}, 13},
      {"number for a text", dispatch::kNumeroInterno, kPut, {V::Long(5)}, 13},
      {"object for a text", dispatch::kNumeroInterno, kPut, {conn}, 13},
      {"text for the length", dispatch::kPLenMaxInterno, kPut, {V::String("25")}, 13},
      {"Null for the length", dispatch::kPLenMaxInterno, kPut, {V::Null()}, 13},
      {"length past 32 bits", dispatch::kPLenMaxInterno, kPut, {V::Double(3e9)}, 6},
      {"length below 32 bits", dispatch::kPLenMaxInterno, kPut, {V::Double(-3e9)}, 6},
  };
  for (const auto& [what, id, kind, args, number] : cases) {
    EXPECT_EQ(FailureOf([&] { Invoke(id, kind, args); }).number(), number) << what;
  }
  EXPECT_EQ(std::tie(state.numeroInterno, state.maxLength, state.fechaActual),
            std::tuple(std::string("N-1"), INT32_MAX, std::string("date('now')")));
  EXPECT_EQ(state.internos, nullptr);
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

// Classes are found by name and id without regard to case; writers lose nothing.
TEST_F(cMAINTest, RegistryFindsClassesInAnyCaseAndKeepsConcurrentWrites) {
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), std::nullopt) << "a missing file is empty";
  RegisteredClass entry = Class(1);
  entry.classId = "{abcdef00-0000-0000-0000-000000000001}";
  registry_.RegisterClass(entry);
  registry_.RegisterClass(Class(2));
  EXPECT_EQ(registry_.ClassIdOf("TEST.CLASS1"), "{ABCDEF00-0000-0000-0000-000000000001}");
  EXPECT_EQ(registry_.FindClass("{AbCdEf00-0000-0000-0000-000000000001}").value().progId,
            "Test.Class1");

  entry.progId = "test.class1";  // the same name, spelt otherwise, now names class 2
  entry.classId = Class(2).classId;
  registry_.RegisterClass(entry);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), Class(2).classId);
  registry_.UnregisterClass(Class(2).classId);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class1"), std::nullopt);
  EXPECT_EQ(registry_.ClassIdOf("Test.Class2"), std::nullopt);
  EXPECT_TRUE(registry_.FindClass("{ABCDEF00-0000-0000-0000-000000000001}"));

  auto writer = [&](int first) {
    ServerRegistry own(file_);  // as another program would
    for (int n = first; n < first + 25; ++n) own.RegisterClass(Class(n));
  };
  {
    std::jthread a(writer, 0), b(writer, 25);  // both join as the block ends
  }
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
  ASSERT_EQ(registerServer(), OQ_S_OK);
  const auto entry = registry_.FindClass(std::string(identity::kClassId));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->progId, "oQUARDELINO.cMAIN");
  EXPECT_EQ(entry->libraryPath, std::filesystem::canonical(OQ_COMPONENT_LIBRARY).string());
  EXPECT_TRUE(registry_.FindTypeLibrary(entry->typeLibraryId));
  auto cmain = std::dynamic_pointer_cast<AutomationObject>(CreateObject("oquardelino.cmain"));
  ASSERT_NE(cmain, nullptr);
  EXPECT_EQ(canUnloadNow(), OQ_S_FALSE) << "cMAIN is alive";

  ByName(*cmain, "pLenMaxInterno", kPut, {V::Long(25)});
  EXPECT_EQ(ByName(*cmain, "pLenMaxInterno", kGet), V::Long(25));
  EXPECT_EQ(basGLOBAL::State().maxLength, 0) << "the library keeps its own session state";
  EXPECT_EQ(FailureOf([&] { ByName(*cmain, "Numero_Interno", kGet); }).number(), 438);
  EXPECT_EQ(FailureOf([&] { ByName(*cmain, "GetDataAccessManager", kMethod, {V()}); }).number(),
            429);
  // Qt ends the process when it finds no display; the library must turn that into a failure.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(variable);
  EXPECT_EQ(FailureOf([&] { ByName(*cmain, "Mostrar", kMethod); }).number(), 429);
  cmain.reset();
  EXPECT_EQ(canUnloadNow(), OQ_S_OK);

  // A class the library does not serve.
  registry_.RegisterClass({Class(1).classId, "Test.Other", "Apartment", entry->libraryPath, ""});
  EXPECT_EQ(FailureOf([] { CreateObject("Test.Other"); }).number(), 429);
  ASSERT_EQ(unregisterServer(), OQ_S_OK);
  EXPECT_FALSE(registry_.FindClass(std::string(identity::kClassId)));
  EXPECT_FALSE(registry_.FindTypeLibrary(entry->typeLibraryId));
}

}  // namespace
}  // namespace oq
