#pragma once

#include <dispex.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/object.h"
#include "server/win32/com_object.h"
#include "server/win32/com_variant.h"

namespace oq::win32 {

// Calls the members of a host's automation object by name, as a late-bound client does. Each
// member's dispatch id is looked up once per object and kept (an object has a handful). Objects
// that offer IDispatchEx (script objects, which may not answer GetIDsOfNames) are called through
// it. A failure the object reports becomes a Failure with the object's own number, description
// and source.
class DispatchCaller {
 public:
  explicit DispatchCaller(IDispatch* object);

  IDispatch* object() const { return object_.get(); }

  // Invokes member `name` (or, with an empty name, the default member) as `flags` with `args` in
  // the member's order (by-reference arguments as VT_BYREF values the caller owns); the result
  // goes into `result` when given.
  void Call(std::string_view name, WORD flags, std::vector<VARIANT>& args,
            VARIANT* result = nullptr) const;
  // A method call or a property read with no arguments.
  void Get(std::string_view name, VARIANT* result) const;
  // A property assignment.
  void Put(std::string_view name, VARIANT& value) const;

 private:
  DISPID IdOf(std::string_view name) const;

  ComRef<IDispatch> object_;
  ComRef<IDispatchEx> scripted_;
  mutable std::vector<std::pair<std::string, DISPID>> ids_;
};

// What every adapter of a host object holds: the object and its caller. An Object variant that
// holds a DispatchHolder goes back to the host as that object.
class DispatchHolder {
 public:
  explicit DispatchHolder(IDispatch* object) : caller_(object) {}
  virtual ~DispatchHolder() = default;
  IDispatch* dispatch() const { return caller_.object(); }

 protected:
  const DispatchCaller& caller() const { return caller_; }

 private:
  DispatchCaller caller_;
};

// An object of the host that the component only passes along.
class DispatchObject : public Object, public DispatchHolder {
 public:
  using DispatchHolder::DispatchHolder;
};

}  // namespace oq::win32
