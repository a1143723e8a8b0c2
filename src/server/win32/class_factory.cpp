#include "server/win32/class_factory.h"

#include <atomic>

#include "platform/win32/win32_forms.h"
#include "server/win32/com_cmain.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_object.h"

namespace oq::win32 {

namespace {

std::atomic<long> g_locks{0};

class CMainFactory final : public ComObject<IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    _cMAIN* created = nullptr;
    const HRESULT made = Guarded([&] {
      // cMAIN is apartment-threaded: the creating thread is the one its dialog will run on.
      InstallWin32MainForm();
      created = NewCMain();
    });
    if (FAILED(made)) return made;
    const HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else if (g_locks.load() > 0) {
      --g_locks;
    }
    return S_OK;
  }

 protected:
  void* Find(REFIID iid) override {
    return IsEqualIID(iid, IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
  }
};

}  // namespace

IClassFactory* NewCMainFactory() { return new CMainFactory(); }

long ServerLocks() { return g_locks.load(); }

}  // namespace oq::win32
