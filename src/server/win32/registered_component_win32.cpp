// Creation by registered name on Windows: the system's class registry, as CreateObject does.
#include <objbase.h>

#include "host/failure.h"
#include "host/registered_component.h"
#include "server/win32/com_text.h"
#include "server/win32/host_adapters.h"

namespace oq {

ObjectRef CreateRegisteredComponent(const std::string& progId) {
  CLSID classId;
  IDispatch* object = nullptr;
  const std::wstring name = win32::Wide(progId);
  if (FAILED(::CLSIDFromProgID(name.c_str(), &classId)) ||
      FAILED(::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IDispatch, reinterpret_cast<void**>(&object)))) {
    // The caller sees the platform's own text for this error, as a late-bound client does.
    throw err::runtime(err::kCannotCreateObject);
  }
  ObjectRef adapted = win32::AdaptCreated(progId, object);
  object->Release();
  return adapted;
}

}  // namespace oq
