#include "host/cMAIN.h"

#include <gtest/gtest.h>

#include <thread>

#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/data_access_manager.h"
#include "host/failure.h"
#include "test_support.h"

namespace oq {
namespace {

struct Connection : Object {};

struct Manager : DataAccessManager {
  std::string getMidFormatbyEntity(const std::string&, const std::string& text,
                                   const std::string& start, const std::string& length) override {
    return "substr(" + text + ", " + start + ", " + length + ")";
  }
};

class cMAINTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basGLOBAL::Reset();
    ComponentRegistry::instance().remove(std::string(identity::kDataAccessManagerProgId));
  }
  void TearDown() override {
    ComponentRegistry::instance().remove(std::string(identity::kDataAccessManagerProgId));
    SetMainFormFactory(nullptr);
  }

  ScopedRegistry userRegistry_;  // empty: nothing is creatable through the user's registry
};

TEST_F(cMAINTest, InstancesOfOneThreadShareOneState) {
  cMAIN first;
  cMAIN second;
  EXPECT_EQ(second.get_pLenMaxInterno(), 0);
  first.put_pLenMaxInterno(25);
  std::string number = "B-7";
  first.put_Numero_Interno(number);
  number[0] = 'Z';  // the state keeps its own copy
  EXPECT_EQ(second.get_pLenMaxInterno(), 25);
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "B-7");

  // Object items hold counted references: the host's object lives while the session holds it.
  auto connection = std::make_shared<Connection>();
  std::weak_ptr<Connection> watch = connection;
  first.setConexionAInternos(connection);
  connection.reset();
  EXPECT_FALSE(watch.expired());
  second.setConexionAInternos(std::make_shared<Connection>());
  EXPECT_TRUE(watch.expired()) << "storing another object releases the previous one";
}

TEST_F(cMAINTest, AnotherThreadSeesItsOwnInitialState) {
  cMAIN here;
  here.put_pLenMaxInterno(30);
  here.put_Numero_Interno("A-1");
  here.setConexionAInternos(std::make_shared<Connection>());

  bool initial = false;
  std::thread other([&] {
    cMAIN there;
    const auto& state = basGLOBAL::State();
    initial = there.get_pLenMaxInterno() == 0 && state.numeroInterno.empty() && !state.internos;
    there.put_pLenMaxInterno(99);
  });
  other.join();
  EXPECT_TRUE(initial);
  EXPECT_EQ(here.get_pLenMaxInterno(), 30);
}

// The registered manager is created and dropped at once; the session keeps the caller's object,
// or its earlier one when the registered manager cannot be created.
TEST_F(cMAINTest, DataAccessManagerIsTheCallersObject) {
  auto hostManager = std::make_shared<Manager>();
  basGLOBAL::State().dataAccessManager = hostManager;
  Variant p_DAM = Variant::Object(std::make_shared<Manager>());
  EXPECT_EQ(FailureNumber([&] { cMAIN().GetDataAccessManager(p_DAM); }), 429);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);

  std::vector<std::weak_ptr<Manager>> created;
  ComponentRegistry::instance().add(std::string(identity::kDataAccessManagerProgId), [&created] {
    auto manager = std::make_shared<Manager>();
    created.push_back(manager);
    return manager;
  });
  p_DAM = Variant::Object(hostManager);
  basGLOBAL::State().dataAccessManager = nullptr;
  cMAIN().GetDataAccessManager(p_DAM);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);
  EXPECT_EQ(p_DAM, Variant::Object(hostManager));
  ASSERT_EQ(created.size(), 1u) << "the registered manager must be created";
  EXPECT_TRUE(created[0].expired()) << "and lives only during the call";
  Variant empty;
  cMAIN().GetDataAccessManager(empty);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, nullptr);
}

TEST_F(cMAINTest, MostrarWithoutFormsFailsAndCreatesNothing) {
  SetMainFormFactory(nullptr);
  EXPECT_EQ(FailureNumber([] { cMAIN().Mostrar(); }), 429);
  EXPECT_EQ(basGLOBAL::State().dialog, nullptr);
}

}  // namespace
}  // namespace oq
