#include "server/oquardelino_server.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>

#include "host/cMAIN.h"
#include "host/class_identity.h"
#include "host/failure.h"
#include "host/server_registry.h"
#include "server/class_factory.h"

namespace {

// The file this library was loaded from, made absolute so that the registry entry still finds it
// from another working folder.
std::string LibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) {
    throw oq::Failure(oq::err::kPathFileAccess, "Path/File access error: library path unknown");
  }
  std::error_code error;
  const std::filesystem::path path = std::filesystem::weakly_canonical(info.dli_fname, error);
  return error ? std::filesystem::absolute(info.dli_fname).string() : path.string();
}

std::string TypeLibraryVersion() {
  return std::to_string(oq::identity::kTypeLibraryMajor) + "." +
         std::to_string(oq::identity::kTypeLibraryMinor);
}

// Runs one registry step; any failure becomes `failed`, since nothing may unwind into a C caller.
template <typename Step>
oq_result Guarded(oq_result failed, Step step) {
  try {
    step();
    return OQ_S_OK;
  } catch (...) {
    return failed;
  }
}

}  // namespace

extern "C" {

oq_result DllGetClassObject(const char* class_id, oq_class_factory** factory) {
  if (!factory) return OQ_E_POINTER;
  *factory = nullptr;
  if (!class_id) return OQ_E_POINTER;
  if (oq::NormalizedId(class_id) != oq::identity::kClassId) return OQ_CLASS_E_CLASSNOTAVAILABLE;
  *factory = oq::server::AcquireFactory();
  return OQ_S_OK;
}

oq_result DllCanUnloadNow(void) {
  return oq::cMAIN::LiveObjects() == 0 && !oq::server::FactoryInUse() ? OQ_S_OK : OQ_S_FALSE;
}

oq_result DllRegisterServer(void) {
  std::string path;
  if (Guarded(OQ_SELFREG_E_CLASS, [&] { path = LibraryPath(); }) != OQ_S_OK) {
    return OQ_SELFREG_E_CLASS;
  }
  const oq_result typeLibrary = Guarded(OQ_SELFREG_E_TYPELIB, [&] {
    oq::ServerRegistry().RegisterTypeLibrary({std::string(oq::identity::kTypeLibraryId),
                                              std::string(oq::identity::kTypeLibraryName),
                                              TypeLibraryVersion(), path});
  });
  if (typeLibrary != OQ_S_OK) return typeLibrary;
  return Guarded(OQ_SELFREG_E_CLASS, [&] {
    oq::ServerRegistry().RegisterClass({std::string(oq::identity::kClassId),
                                        std::string(oq::identity::kProgId),
                                        std::string(oq::identity::kThreadingModel), path,
                                        std::string(oq::identity::kTypeLibraryId)});
  });
}

oq_result DllUnregisterServer(void) {
  const oq_result cls = Guarded(OQ_SELFREG_E_CLASS, [] {
    oq::ServerRegistry().UnregisterClass(std::string(oq::identity::kClassId));
  });
  if (cls != OQ_S_OK) return cls;
  return Guarded(OQ_SELFREG_E_TYPELIB, [] {
    oq::ServerRegistry().UnregisterTypeLibrary(std::string(oq::identity::kTypeLibraryId));
  });
}

}  // extern "C"
