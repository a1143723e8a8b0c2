// Creation by registered name on Windows: the system's class registry, as CreateObject does.
#include <objbase.h>

#include "host/failure.h"
#include "host/registered_component.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_text.h"
#include "server/win32/host_adapters.h"

namespace oq {

ObjectRef CreateRegisteredComponent(const std::string& progId) {
  CLSID classId;
  IDispatch* object = nullptr;
  const std::wstring name = win32::Wide(progId);
  // A name or class that is not there is 429 with the platform's own text, as a late-bound client
  // sees it; a class that refused to make the object reports its own failure.
  if (FAILED(::CLSIDFromProgID(name.c_str(), &classId)))
    throw err::runtime(err::kCannotCreateObject);
  const HRESULT made =
      ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IDispatch, reinterpret_cast<void**>(&object));
  if (FAILED(made)) throw win32::FailureFromResult(made, nullptr);
  ObjectRef adapted = win32::AdaptCreated(progId, object);
  object->Release();
  return adapted;
}

}  // namespace oq
