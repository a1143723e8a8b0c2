#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/object.h"
#include "host/variant.h"

namespace oq {

// A member's dispatch id, as the type library numbers it.
using DispId = std::int32_t;

// How a member is invoked. The values are bit flags so that a caller that cannot tell a method
// from a property read (a late-bound `x = obj.Name`) may pass both, as automation clients do.
enum class InvokeKind : std::uint16_t {
  kMethod = 1,
  kPropertyGet = 2,
  kPropertyPut = 4,
};

constexpr InvokeKind operator|(InvokeKind a, InvokeKind b) {
  return static_cast<InvokeKind>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}
// True when `flags` includes `kind`.
constexpr bool Includes(InvokeKind flags, InvokeKind kind) {
  return (static_cast<std::uint16_t>(flags) & static_cast<std::uint16_t>(kind)) != 0;
}

// An object reached by member name at run time: the counterpart of automation dispatch. A host
// that got the object from a loaded component library calls it only through these virtual
// members, so the calls run the library's own code on the library's own session state.
class AutomationObject : public Object {
 public:
  // The dispatch id of the member named `name`, matched without regard to case.
  // Throws Failure 438 when the object has no member of that name.
  virtual DispId GetIDsOfNames(const std::string& name) const = 0;

  // Invokes member `id` as `kind` with `args` in the member's parameter order. By-reference
  // arguments are the caller's variants; a member writes into one only where its contract says.
  // Returns the property value of a get, Empty otherwise. Throws Failure 438 for an id or kind the
  // object does not have, 450 for a wrong argument count, 13 for an argument of the wrong type,
  // and whatever the member itself fails with.
  virtual Variant Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) = 0;
};

}  // namespace oq
