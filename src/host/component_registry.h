#pragma once

#include <functional>
#include <string>

#include "host/object.h"

namespace oq {

// Creation of components by registered name (ProgID), as CreateObject does. A component is found
// first among the factories registered in this process, then in the per-user component registry
// (see server_registry.h), whose entries name a shared library that is loaded and asked for its
// class factory. Thread-safe.
class ComponentRegistry {
 public:
  using Factory = std::function<ObjectRef()>;

  // The process-wide registry.
  static ComponentRegistry& instance();

  // Registers (or replaces) the factory for `progId`. Names are matched without regard to case.
  void add(const std::string& progId, Factory factory);
  // Removes the factory for `progId`, if any.
  void remove(const std::string& progId);
  bool contains(const std::string& progId) const;

  // A new instance of `progId`. Throws Failure 429 "ActiveX component can't create object" (with
  // the name in the description) when no factory and no per-user registration can create it.
  ObjectRef create(const std::string& progId) const;

 private:
  ComponentRegistry() = default;
  struct Impl;
  Impl& impl() const;
};

// Shorthand for ComponentRegistry::instance().create(progId).
ObjectRef CreateObject(const std::string& progId);

}  // namespace oq
