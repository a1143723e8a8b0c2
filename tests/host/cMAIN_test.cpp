#include "host/cMAIN.h"

#include <gtest/gtest.h>

#include <thread>

#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/data_access_manager.h"
#include "host/failure.h"
#include "scoped_registry.h"

namespace oq {
namespace {

struct Connection : Object {};

struct Manager : DataAccessManager {
  std::string getMidFormatbyEntity(const std::string&, const std::string& text,
                                   const std::string& start, const std::string& length) override {
    return "substr(" + text + ", " + start + ", " + length + ")";
  }
};

// A headless frmMAIN: each show records the source number that the start-up would read.
struct HeadlessForm : ModalForm {
  void ShowModal() override { shownNumbers.push_back(basGLOBAL::State().numeroInterno); }
  std::vector<std::string> shownNumbers;
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
  // Makes "DataAccessManager.DAMMain" creatable; `created` sees each instance made.
  void RegisterManager() {
    ComponentRegistry::instance().add(std::string(identity::kDataAccessManagerProgId), [this] {
      auto manager = std::make_shared<Manager>();
      created_.push_back(manager);
      return manager;
    });
  }

  ScopedRegistry userRegistry_;  // empty: nothing is creatable through the user's registry
  std::vector<std::weak_ptr<Manager>> created_;
};

TEST_F(cMAINTest, InstancesOfOneThreadShareOneState) {
  cMAIN first;
  cMAIN second;
  EXPECT_EQ(second.get_pLenMaxInterno(), 0);
  first.put_pLenMaxInterno(25);
  std::string number = "B-7";
  first.put_Numero_Interno(number);
  number[0] = 'Z';  // the state keeps its own copy
  auto connection = std::make_shared<Connection>();
  second.setConexionAInternos(connection);

  EXPECT_EQ(second.get_pLenMaxInterno(), 25);
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "B-7");
  EXPECT_EQ(basGLOBAL::State().internos, connection);
}

TEST_F(cMAINTest, ObjectItemsHoldCountedReferences) {
  cMAIN object;
  auto first = std::make_shared<Connection>();
  std::weak_ptr<Connection> watch = first;
  object.setConexionANcm(first);
  first.reset();
  EXPECT_FALSE(watch.expired()) << "the session keeps the host's object alive";
  object.setConexionANcm(std::make_shared<Connection>());
  EXPECT_TRUE(watch.expired()) << "storing another object releases the previous one";
  object.setConexionANcm(nullptr);
  EXPECT_EQ(basGLOBAL::State().ncm, nullptr);
}

TEST_F(cMAINTest, AnotherThreadSeesItsOwnInitialState) {
  cMAIN here;
  here.put_pLenMaxInterno(30);
  here.put_Numero_Interno("A-1");
  here.setConexionAInternos(std::make_shared<Connection>());

  std::int32_t seenLength = -1;
  std::string seenNumber = "unset";
  bool seenConnection = true;
  std::thread other([&] {
    cMAIN there;
    seenLength = there.get_pLenMaxInterno();
    seenNumber = basGLOBAL::State().numeroInterno;
    seenConnection = basGLOBAL::State().internos != nullptr;
    there.put_pLenMaxInterno(99);
  });
  other.join();
  EXPECT_EQ(seenLength, 0);
  EXPECT_EQ(seenNumber, "");
  EXPECT_FALSE(seenConnection);
  EXPECT_EQ(here.get_pLenMaxInterno(), 30);
}

TEST_F(cMAINTest, DataAccessManagerIsTheCallersObject) {
  RegisterManager();
  auto hostManager = std::make_shared<Manager>();
  Variant p_DAM = Variant::Object(hostManager);
  cMAIN().GetDataAccessManager(p_DAM);

  EXPECT_EQ(basGLOBAL::State().dataAccessManager, hostManager);
  EXPECT_EQ(p_DAM, Variant::Object(hostManager));
  ASSERT_EQ(created_.size(), 1u) << "the registered manager must be created";
  EXPECT_TRUE(created_[0].expired()) << "and lives only during the call";

  Variant empty;
  cMAIN().GetDataAccessManager(empty);
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, nullptr);
}

TEST_F(cMAINTest, DataAccessManagerKeptWhenTheRegisteredOneCannotBeCreated) {
  auto earlier = std::make_shared<Manager>();
  basGLOBAL::State().dataAccessManager = earlier;
  Variant p_DAM = Variant::Object(std::make_shared<Manager>());
  try {
    cMAIN().GetDataAccessManager(p_DAM);
    FAIL() << "expected a failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 429);
    EXPECT_NE(failure.description().find("DataAccessManager.DAMMain"), std::string::npos);
  }
  EXPECT_EQ(basGLOBAL::State().dataAccessManager, earlier);
}

TEST_F(cMAINTest, MostrarCreatesTheFormOnceAndShowsItEachTime) {
  int made = 0;
  std::shared_ptr<HeadlessForm> form;
  SetMainFormFactory([&] {
    ++made;
    form = std::make_shared<HeadlessForm>();
    return form;
  });
  cMAIN object;
  object.put_Numero_Interno("A-1");
  object.Mostrar();
  object.put_Numero_Interno("A-2");
  cMAIN().Mostrar();

  EXPECT_EQ(made, 1);
  EXPECT_EQ(form->shownNumbers, (std::vector<std::string>{"A-1", "A-2"}));
}

TEST_F(cMAINTest, MostrarWithoutFormsFailsAndCreatesNothing) {
  SetMainFormFactory(nullptr);
  try {
    cMAIN().Mostrar();
    FAIL() << "expected a failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 429);
  }
  EXPECT_EQ(basGLOBAL::State().dialog, nullptr);
}

}  // namespace
}  // namespace oq
