// cMAIN as clients reach it: by its methods, and through dispatch by id or name.
#include "host/cMAIN.h"

#include <gtest/gtest.h>

#include <thread>

#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/data_access_manager.h"
#include "host/dispatch.h"
#include "test_support.h"

namespace oq {
namespace {

using test::FailureOf;
constexpr auto kPut = InvokeKind::kPropertyPut;
constexpr auto kGet = InvokeKind::kPropertyGet;
constexpr auto kMethod = InvokeKind::kMethod;
const std::string kDam(identity::kDataAccessManagerProgId);

struct Connection : Object {};

struct Manager : DataAccessManager {
  std::string getMidFormatbyEntity(const std::string&, const std::string&, const std::string&,
                                   const std::string&) override {
    return "";
  }
};

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

  ScopedRegistry userRegistry_;  // empty: nothing is creatable through the user's registry
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
  auto hostManager = std::make_shared<Manager>();
  basGLOBAL::State().dataAccessManager = hostManager;
  Variant p_DAM = Variant::Object(std::make_shared<Manager>());
  EXPECT_EQ(FailureOf([&] { object_.GetDataAccessManager(p_DAM); }).number(), 429);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);

  std::vector<std::weak_ptr<Manager>> created;
  ComponentRegistry::instance().add(kDam, [&created] {
    auto manager = std::make_shared<Manager>();
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
  for (const auto& [name, id] :
       {std::pair{"pLENMaxInterno", 0x68030000}, {"numero_interno", 0x68030001},
        {"GetDataAccessManager", 0x60030002}, {"MOSTRAR", 0x60030003},
        {"setConexionAInternos", 0x60030004}, {"SetFechaActualDeInternos", 0x60030005},
        {"setconexionancm", 0x60030006}}) {
    EXPECT_EQ(object_.GetIDsOfNames(name), id) << name;
  }
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
  for (const auto& [value, stored] :
       {std::pair{Variant::Long(25), 25}, {Variant::Double(3.5), 4}, {Variant::Double(2.5), 2},
        {Variant::Double(-2.5), -2}, {Variant::Double(-3.5), -4}, {Variant::Double(0.5), 0},
        {Variant::Double(2.500001), 3}, {Variant::Boolean(true), -1}, {Variant(), 0},
        {Variant::Integer(-32768), -32768}, {Variant::LongLong(2147483647), 2147483647}}) {
    Invoke(dispatch::kPLenMaxInterno, kPut, {value});
    EXPECT_EQ(Invoke(dispatch::kPLenMaxInterno, kGet | kMethod, {}), Variant::Long(stored));
  }
}

TEST_F(cMAINTest, RefusedCallsFailAsClientsSeeThemAndChangeNothing) {
  basGLOBAL::State().numeroInterno = "N-1";
  basGLOBAL::State().maxLength = 7;
  const Variant text = Variant::String("X");
  const Variant conn = Variant::Object(std::make_shared<Connection>());
  struct Case {
    const char* what;
    DispId id;
    InvokeKind kind;
    std::vector<Variant> args;
    std::int32_t number;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    EXPECT_EQ(FailureOf([&] { Invoke(c.id, c.kind, c.args); }).number(), c.number) << c.what;
  }
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "N-1");
  EXPECT_EQ(basGLOBAL::State().maxLength, 7);
  EXPECT_EQ(basGLOBAL::State().internos, nullptr);
  EXPECT_EQ(basGLOBAL::State().fechaActual, "");
}

}  // namespace
}  // namespace oq
