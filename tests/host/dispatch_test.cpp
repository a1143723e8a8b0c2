#include "host/dispatch.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"
#include "test_support.h"

namespace oq {
namespace {

using dispatch::ValueType;
constexpr auto kPut = InvokeKind::kPropertyPut;
constexpr auto kGet = InvokeKind::kPropertyGet;
constexpr auto kMethod = InvokeKind::kMethod;

struct Connection : Object {};

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { basGLOBAL::Reset(); }
  cMAIN object_;
};

// One line per member: name, kind, id, parameter (& when by reference) or result type.
std::string Describe(const dispatch::Member& m) {
  const char* types[] = {"String", "Variant", "Object", "Long"};
  char id[16];
  std::snprintf(id, sizeof id, " %d %08X", static_cast<int>(m.kind), static_cast<unsigned>(m.id));
  std::string out = std::string(m.name) + id;
  if (const auto& p = m.parameter) {
    out += " " + std::string(p->name) + ":" + types[int(p->type)] + (p->byRef ? "&" : "");
  }
  return m.result ? out + " -> " + types[int(*m.result)] : out;
}

TEST_F(DispatchTest, MemberTableFollowsTheInterfaceOrder) {
  const char* expected[] = {
      "Numero_Interno 4 68030001 p_Numero:String&",
      "GetDataAccessManager 1 60030002 p_DAM:Variant&",
      "Mostrar 1 60030003",
      "setConexionAInternos 1 60030004 p_Conn:Object&",
      "setFechaActualDeInternos 1 60030005 p_Conn:String&",
      "setConexionANcm 1 60030006 p_Conn:Object&",
      "pLenMaxInterno 2 68030000 -> Long",
      "pLenMaxInterno 4 68030000 lLenMaxInterno:Long",
  };
  ASSERT_EQ(dispatch::Members().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(Describe(dispatch::Members()[i]), expected[i]);
  }
}

TEST_F(DispatchTest, NamesAreFoundWithoutRegardToCase) {
  EXPECT_EQ(object_.GetIDsOfNames("numero_interno"), 0x68030001);
  EXPECT_EQ(object_.GetIDsOfNames("MOSTRAR"), 0x60030003);
  EXPECT_EQ(object_.GetIDsOfNames("PLenMaxInterno"), 0x68030000);
  for (const char* unknown : {"Numero", "Mostrar ", "", "getNumero_Interno"}) {
    EXPECT_THROW(object_.GetIDsOfNames(unknown), Failure) << unknown;
  }
}

TEST_F(DispatchTest, SettersReachTheSessionAndLeaveTheArgumentsAlone) {
  auto connection = std::make_shared<Connection>();
  std::vector<Variant> args{Variant::String("A-100")};
  object_.Invoke(dispatch::kNumeroInterno, kPut, args);
  EXPECT_EQ(args[0], Variant::String("A-100"));
  std::vector<Variant> date{Variant::String("date('now')")};
  dispatch::InvokeByName(object_, "SETFECHAACTUALDEINTERNOS", kMethod, date);
  std::vector<Variant> conn{Variant::Object(connection)};
  dispatch::InvokeByName(object_, "setConexionANcm", kMethod, conn);
  EXPECT_EQ(conn[0], Variant::Object(connection));

  const auto& state = basGLOBAL::State();
  EXPECT_EQ(state.numeroInterno, "A-100");
  EXPECT_EQ(state.fechaActual, "date('now')");
  EXPECT_EQ(state.ncm, connection);
  EXPECT_EQ(state.internos, nullptr);
}

TEST_F(DispatchTest, LengthPropertyConvertsAsAutomationDoes) {
  const std::pair<Variant, std::int32_t> cases[] = {
      {Variant::Long(25), 25},
      {Variant::Double(3.5), 4},
      {Variant::Boolean(true), -1},
      {Variant(), 0},
      {Variant::LongLong(2147483647), 2147483647},
  };
  for (const auto& [value, stored] : cases) {
    std::vector<Variant> args{value};
    object_.Invoke(dispatch::kPLenMaxInterno, kPut, args);
    std::vector<Variant> none;
    EXPECT_EQ(object_.Invoke(dispatch::kPLenMaxInterno, kGet | kMethod, none),
              Variant::Long(stored));
  }
}

TEST_F(DispatchTest, RefusedCallsFailAsClientsSeeThemAndChangeNothing) {
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
  };
  for (const Case& c : cases) {
    std::vector<Variant> args = c.args;
    EXPECT_EQ(FailureNumber([&] { dispatch::Invoke(object_, c.id, c.kind, args); }), c.number)
        << c.what;
  }
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "N-1");
  EXPECT_EQ(basGLOBAL::State().maxLength, 7);
  EXPECT_EQ(basGLOBAL::State().internos, nullptr);
  EXPECT_EQ(basGLOBAL::State().fechaActual, "");
}

}  // namespace
}  // namespace oq
