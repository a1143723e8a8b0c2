#include "host/server_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>

#include "host/failure.h"

namespace oq {

namespace {

Failure CannotCreate(const std::string& why) {
  return Failure(err::kCannotCreateObject, "ActiveX component can't create object: " + why);
}

std::string Hex(oq_result result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

// Gives back the factory's reference however the creation ends.
struct FactoryRelease {
  void operator()(oq_class_factory* factory) const { factory->Release(factory); }
};

}  // namespace

ObjectRef TakeObject(oq_object* handle) {
  if (!handle) return nullptr;
  ObjectRef object;
  if (handle->shared_object) object = *static_cast<const ObjectRef*>(handle->shared_object);
  handle->Release(handle);
  return object;
}

ObjectRef CreateFromLibrary(const std::string& libraryPath, const std::string& classId) {
  // RTLD_LOCAL keeps the library's own copies of shared code apart from ours; the handle is never
  // closed because nothing tells us when the last object it made is gone.
  void* library = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = ::dlerror();
    throw CannotCreate("cannot load " + libraryPath + ": " + (why ? why : "unknown error"));
  }
  void* symbol = ::dlsym(library, "DllGetClassObject");
  if (!symbol) throw CannotCreate(libraryPath + " exports no DllGetClassObject");
  // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
  auto getClassObject = reinterpret_cast<oq_get_class_object_fn>(symbol);

  oq_class_factory* rawFactory = nullptr;
  const oq_result got = getClassObject(classId.c_str(), &rawFactory);
  if (got < 0 || !rawFactory) {
    throw CannotCreate(libraryPath + " does not serve class " + classId + " (" + Hex(got) + ")");
  }
  std::unique_ptr<oq_class_factory, FactoryRelease> factory(rawFactory);
  if (factory->size < sizeof(oq_class_factory)) {
    throw CannotCreate(libraryPath + " hands out a class factory of another layout");
  }

  oq_object* handle = nullptr;
  const oq_result created = factory->CreateInstance(factory.get(), nullptr, &handle);
  if (created < 0 || !handle) {
    throw CannotCreate("class " + classId + " failed to create its object (" + Hex(created) + ")");
  }
  ObjectRef object = TakeObject(handle);
  if (!object) throw CannotCreate("class " + classId + " created no object");
  return object;
}

}  // namespace oq
