#include "host/component_registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "host/failure.h"
#include "host/registered_component.h"

namespace oq {

namespace {
std::string Folded(const std::string& name) {
  std::string folded = name;
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}
}  // namespace

struct ComponentRegistry::Impl {
  mutable std::mutex mutex;
  std::map<std::string, Factory> factories;
};

ComponentRegistry& ComponentRegistry::instance() {
  static ComponentRegistry registry;
  return registry;
}

ComponentRegistry::Impl& ComponentRegistry::impl() const {
  static Impl impl;
  return impl;
}

void ComponentRegistry::add(const std::string& progId, Factory factory) {
  std::lock_guard lock(impl().mutex);
  impl().factories[Folded(progId)] = std::move(factory);
}

void ComponentRegistry::remove(const std::string& progId) {
  std::lock_guard lock(impl().mutex);
  impl().factories.erase(Folded(progId));
}

bool ComponentRegistry::contains(const std::string& progId) const {
  std::lock_guard lock(impl().mutex);
  return impl().factories.count(Folded(progId)) != 0;
}

ObjectRef ComponentRegistry::create(const std::string& progId) const {
  Factory factory;
  {
    std::lock_guard lock(impl().mutex);
    auto it = impl().factories.find(Folded(progId));
    if (it != impl().factories.end()) factory = it->second;
  }
  // The factory runs outside the lock: it may itself create components by name.
  if (factory) {
    if (ObjectRef object = factory()) return object;
    throw Failure(
        err::kCannotCreateObject,
        "ActiveX component can't create object: the factory of '" + progId + "' created nothing");
  }

  return CreateRegisteredComponent(progId);
}

ObjectRef CreateObject(const std::string& progId) {
  return ComponentRegistry::instance().create(progId);
}

}  // namespace oq
