#include "server/class_factory.h"

#include <atomic>
#include <cassert>
#include <memory>
#include <new>
#include <string>

#include "host/cMAIN.h"
#include "host/class_identity.h"
#include "host/server_registry.h"
#include "server/server_init.h"

namespace oq::server {

namespace {

std::atomic<long> g_references{0};
std::atomic<long> g_locks{0};

// The handle CreateInstance gives out: the C part first, then the counted reference it stands for.
struct ObjectHandle : oq_object {
  ObjectRef object;
};

void ReleaseHandle(oq_object* self) {
  std::unique_ptr<ObjectHandle> owned(static_cast<ObjectHandle*>(self));
}

bool Serves(const char* interfaceId) {
  if (!interfaceId) return true;
  const std::string id = NormalizedId(interfaceId);
  return id == OQ_IID_IUNKNOWN || id == OQ_IID_IDISPATCH || id == identity::kInterfaceId;
}

oq_result CreateInstance(oq_class_factory*, const char* interfaceId, oq_object** object) {
  if (!object) return OQ_E_POINTER;
  *object = nullptr;
  if (!Serves(interfaceId)) return OQ_E_NOINTERFACE;
  // Nothing may unwind into a C caller: failures become results here.
  try {
    InitializeThread();
    auto handle = std::make_unique<ObjectHandle>();
    handle->object = std::make_shared<cMAIN>();
    handle->shared_object = &handle->object;
    handle->Release = &ReleaseHandle;
    *object = handle.release();
    return OQ_S_OK;
  } catch (const std::bad_alloc&) {
    return OQ_E_OUTOFMEMORY;
  } catch (...) {
    return OQ_E_FAIL;
  }
}

oq_result LockServer(oq_class_factory*, std::int32_t lock) {
  if (lock) {
    ++g_locks;
  } else if (g_locks.load() > 0) {
    --g_locks;
  }
  return OQ_S_OK;
}

void Release(oq_class_factory*) {
  [[maybe_unused]] const long before = g_references.fetch_sub(1);
  assert(before > 0 && "class factory released more often than acquired");
}

oq_class_factory g_factory{sizeof(oq_class_factory), &CreateInstance, &LockServer, &Release};

}  // namespace

oq_class_factory* AcquireFactory() {
  ++g_references;
  return &g_factory;
}

bool FactoryInUse() { return g_references.load() > 0 || g_locks.load() > 0; }

}  // namespace oq::server
