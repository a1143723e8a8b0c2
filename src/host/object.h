#pragma once

#include <memory>

namespace oq {

// Base of every automation object a Variant can hold: connections, record sets, fields, the
// data-access manager, the formatting component, cMAIN. Objects are shared by counted references
// (std::shared_ptr); a holder that is given another object releases the previous one.
class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

using ObjectRef = std::shared_ptr<Object>;

}  // namespace oq
