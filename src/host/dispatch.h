#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/automation_object.h"
#include "host/variant.h"

namespace oq {

class cMAIN;

namespace dispatch {

// Dispatch ids of _cMAIN, as its type library numbers them.
inline constexpr DispId kNumeroInterno = 0x68030001;
inline constexpr DispId kGetDataAccessManager = 0x60030002;
inline constexpr DispId kMostrar = 0x60030003;
inline constexpr DispId kSetConexionAInternos = 0x60030004;
inline constexpr DispId kSetFechaActualDeInternos = 0x60030005;
inline constexpr DispId kSetConexionANcm = 0x60030006;
inline constexpr DispId kPLenMaxInterno = 0x68030000;

// The type of a parameter or of a property's value.
enum class ValueType { kString, kVariant, kObject, kLong };

struct Parameter {
  std::string_view name;
  ValueType type;
  bool byRef;
};

// One entry of _cMAIN's function table. A property with a get and a put has two entries with the
// same name and id.
struct Member {
  std::string_view name;
  InvokeKind kind;
  DispId id;
  std::optional<Parameter> parameter;  // every member takes at most one
  std::optional<ValueType> result;     // only the property get returns a value
};

// The members of _cMAIN in the order of its function table (which is also the type library's).
const std::array<Member, 8>& Members();

// The dispatch id of the member named `name`, matched without regard to case, as automation
// clients look names up. Throws Failure 438 for a name _cMAIN does not have.
DispId GetIDsOfNames(std::string_view name);

// Calls member `id` of `object` as `kind`, converting `args` to the member's parameter the way
// automation does:
// - a text parameter takes a String (Empty counts as the empty text);
// - an object parameter takes an Object variant, which may hold Nothing;
// - a variant parameter takes anything, and is never written to (GetDataAccessManager leaves the
//   caller's p_DAM as it was);
// - the 32-bit length takes Empty, Boolean or a number, rounded half to even.
// Failures, as a late-bound client sees them:
// - 438 "Object doesn't support this property or method" for an unknown id, or a known id invoked
//   as a kind it does not have. This is what reading Numero_Interno gives: it has no get, and the
//   stored number is never returned;
// - 450 when `args` does not hold exactly the member's parameters;
// - 13 for an argument of another type (Null included), 6 for a length outside 32 bits;
// - whatever the member fails with (429 from GetDataAccessManager and Mostrar).
// No state changes when the call fails before reaching the member.
Variant Invoke(cMAIN& object, DispId id, InvokeKind kind, std::vector<Variant>& args);

// GetIDsOfNames followed by Invoke.
Variant InvokeByName(cMAIN& object, std::string_view name, InvokeKind kind,
                     std::vector<Variant>& args);

}  // namespace dispatch
}  // namespace oq
