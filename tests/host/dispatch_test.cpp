#include "host/dispatch.h"

#include <gtest/gtest.h>

#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/failure.h"

namespace oq {
namespace {

using dispatch::ValueType;
constexpr auto kPut = InvokeKind::kPropertyPut;
constexpr auto kGet = InvokeKind::kPropertyGet;
constexpr auto kMethod = InvokeKind::kMethod;

struct Connection : Object {};

std::int32_t FailureOf(cMAIN& object, DispId id, InvokeKind kind, std::vector<Variant> args) {
  try {
    dispatch::Invoke(object, id, kind, args);
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { basGLOBAL::Reset(); }
  cMAIN object_;
};

TEST_F(DispatchTest, MemberTableFollowsTheInterfaceOrder) {
  struct Expected {
    const char* name;
    InvokeKind kind;
    DispId id;
    const char* parameter;  // "" when none
    ValueType type;
    bool byRef;
  };
  const Expected expected[] = {
      {"Numero_Interno", kPut, 0x68030001, "p_Numero", ValueType::kString, true},
      {"GetDataAccessManager", kMethod, 0x60030002, "p_DAM", ValueType::kVariant, true},
      {"Mostrar", kMethod, 0x60030003, "", ValueType::kVariant, false},
      {"setConexionAInternos", kMethod, 0x60030004, "p_Conn", ValueType::kObject, true},
      {"setFechaActualDeInternos", kMethod, 0x60030005, "p_Conn", ValueType::kString, true},
      {"setConexionANcm", kMethod, 0x60030006, "p_Conn", ValueType::kObject, true},
      {"pLenMaxInterno", kGet, 0x68030000, "", ValueType::kVariant, false},
      {"pLenMaxInterno", kPut, 0x68030000, "lLenMaxInterno", ValueType::kLong, false},
  };
  const auto& members = dispatch::Members();
  for (std::size_t i = 0; i < members.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(members[i].name, expected[i].name);
    EXPECT_EQ(members[i].kind, expected[i].kind);
    EXPECT_EQ(members[i].id, expected[i].id);
    ASSERT_EQ(members[i].parameter.has_value(), *expected[i].parameter != '\0');
    if (members[i].parameter) {
      EXPECT_EQ(members[i].parameter->name, expected[i].parameter);
      EXPECT_EQ(members[i].parameter->type, expected[i].type);
      EXPECT_EQ(members[i].parameter->byRef, expected[i].byRef);
    }
    EXPECT_EQ(members[i].result.has_value(), expected[i].kind == kGet);
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
      {Variant::Integer(-3), -3},
      {Variant::Double(2.5), 2},
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
      {"late-bound read of Numero_Interno", dispatch::kNumeroInterno, kGet | kMethod, {}, 438},
      {"method called as property", dispatch::kMostrar, kGet, {}, 438},
      {"setter called as put", dispatch::kSetConexionAInternos, kPut, {conn}, 438},
      {"unknown id", 0x60030007, kMethod, {}, 438},
      {"missing argument", dispatch::kSetConexionAInternos, kMethod, {}, 450},
      {"extra argument", dispatch::kNumeroInterno, kPut, {text, text}, 450},
      {"argument to a get", dispatch::kPLenMaxInterno, kGet, {text}, 450},
      {"text for an object", dispatch::kSetConexionAInternos, kMethod, {text}, 13},
      {"number for a text", dispatch::kNumeroInterno, kPut, {Variant::Long(5)}, 13},
      {"Null for a text", dispatch::kSetFechaActualDeInternos, kMethod, {Variant::Null()}, 13},
      {"object for a text", dispatch::kNumeroInterno, kPut, {conn}, 13},
      {"text for the length", dispatch::kPLenMaxInterno, kPut, {Variant::String("25")}, 13},
      {"Null for the length", dispatch::kPLenMaxInterno, kPut, {Variant::Null()}, 13},
      {"length past 32 bits", dispatch::kPLenMaxInterno, kPut, {Variant::Double(3e9)}, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FailureOf(object_, c.id, c.kind, c.args), c.number) << c.what;
  }
  EXPECT_EQ(basGLOBAL::State().numeroInterno, "N-1");
  EXPECT_EQ(basGLOBAL::State().maxLength, 7);
  EXPECT_EQ(basGLOBAL::State().internos, nullptr);
  EXPECT_EQ(basGLOBAL::State().fechaActual, "");
}

}  // namespace
}  // namespace oq
