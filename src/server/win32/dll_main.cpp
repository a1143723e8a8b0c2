// The component's entry points as an in-process server. They hold no logic of the component.
#include <windows.h>

#include "host/cMAIN.h"
#include "oquardelino_h.h"
#include "server/win32/class_factory.h"
#include "server/win32/com_object.h"
#include "server/win32/module.h"
#include "server/win32/registration.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) oq::win32::SetModule(instance);
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(classId, CLSID_cMAIN)) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = oq::win32::NewCMainFactory();
  const HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return oq::win32::g_liveComObjects.load() == 0 && oq::win32::ServerLocks() == 0 ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() { return oq::win32::RegisterServer(); }

HRESULT STDAPICALLTYPE DllUnregisterServer() { return oq::win32::UnregisterServer(); }

}  // extern "C"
