#include "host/registered_component.h"

#include <optional>

#include "host/failure.h"
#include "host/server_loader.h"
#include "host/server_registry.h"

namespace oq {

ObjectRef CreateRegisteredComponent(const std::string& progId) {
  // The per-user registry names the class and its library.
  std::optional<RegisteredClass> registered;
  try {
    const ServerRegistry registry;
    if (std::optional<std::string> classId = registry.ClassIdOf(progId)) {
      registered = registry.FindClass(*classId);
      if (!registered) {
        throw Failure(err::kCannotCreateObject, "ActiveX component can't create object: '" +
                                                    progId + "' names class " + *classId +
                                                    ", which is not registered");
      }
    }
  } catch (const Failure& failure) {
    // A caller of CreateObject expects 429 whatever kept the component from being found.
    if (failure.number() == err::kCannotCreateObject) throw;
    throw Failure(err::kCannotCreateObject, "ActiveX component can't create object: '" + progId +
                                                "': " + failure.description());
  }
  if (!registered) {
    throw Failure(err::kCannotCreateObject,
                  "ActiveX component can't create object: '" + progId + "' is not registered");
  }
  return CreateFromLibrary(registered->libraryPath, registered->classId);
}

}  // namespace oq
