#include "server/win32/com_cmain.h"

#include <vector>

#include "host/cMAIN.h"
#include "host/failure.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_object.h"
#include "server/win32/com_text.h"
#include "server/win32/com_variant.h"
#include "server/win32/host_adapters.h"
#include "server/win32/module.h"

namespace oq::win32 {

namespace {

ObjectRef ConnectionFrom(IDispatch** p_Conn) {
  if (p_Conn == nullptr) throw err::runtime(err::kTypeMismatch);
  if (*p_Conn == nullptr) return nullptr;
  return std::make_shared<DispatchConnection>(*p_Conn);
}

std::string TextFrom(BSTR* text) {
  if (text == nullptr) throw err::runtime(err::kTypeMismatch);
  return FromBstr(*text);
}

bool TakesVariantReference(ITypeInfo* info, DISPID id, WORD flags, UINT position) {
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return false;
  bool variant = false;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    if (function->memid == id && (function->invkind & flags) != 0 &&
        position < static_cast<UINT>(function->cParams)) {
      const TYPEDESC& type = function->lprgelemdescParam[position].tdesc;
      variant = type.vt == VT_PTR && type.lptdesc->vt == VT_VARIANT;
    }
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  return variant;
}

class ComCMain final : public ComObject<_cMAIN, ISupportErrorInfo> {
 public:
  // IDispatch: the type library is the one source of the names, ids and argument types.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = CMainTypeInfo();
    if (*info == nullptr) return E_UNEXPECTED;
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    ITypeInfo* info = CMainTypeInfo();
    return info == nullptr ? E_UNEXPECTED : ::DispGetIDsOfNames(info, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override {
    ITypeInfo* info = CMainTypeInfo();
    if (info == nullptr) return E_UNEXPECTED;
    if (params == nullptr) return E_INVALIDARG;
    // Script clients pass their variables as references to variants; the type information wants
    // a reference of the parameter's own type (BSTR*, IDispatch**), so those are unwrapped.
    std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
    for (UINT i = 0; i < params->cArgs; ++i) {
      VARIANT& arg = args[i];
      if (V_VT(&arg) != (VT_BYREF | VT_VARIANT)) continue;
      const UINT position = params->cArgs - 1 - i;
      if (TakesVariantReference(info, id, flags, position)) continue;
      VARIANT* inner = V_VARIANTREF(&arg);
      if ((V_VT(inner) & VT_BYREF) != 0) {
        arg = *inner;
      } else {
        V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | V_VT(inner));
        V_BYREF(&arg) = &V_NONE(inner);
      }
    }
    DISPPARAMS unwrapped = *params;
    unwrapped.rgvarg = args.data();
    return info->Invoke(static_cast<_cMAIN*>(this), id, flags, &unwrapped, result, exception,
                        badArgument);
  }

  // _cMAIN, in the order of its function table.
  HRESULT STDMETHODCALLTYPE put_Numero_Interno(BSTR* p_Numero) override {
    return Guarded([&] { main_.put_Numero_Interno(TextFrom(p_Numero)); });
  }
  HRESULT STDMETHODCALLTYPE GetDataAccessManager(VARIANT* p_DAM) override {
    return Guarded([&] {
      if (p_DAM == nullptr) throw err::runtime(err::kTypeMismatch);
      const VARIANT& held = V_VT(p_DAM) == (VT_BYREF | VT_VARIANT) ? *V_VARIANTREF(p_DAM) : *p_DAM;
      IDispatch* object = nullptr;
      if (V_VT(&held) == VT_DISPATCH) object = V_DISPATCH(&held);
      if (V_VT(&held) == (VT_BYREF | VT_DISPATCH)) object = *V_DISPATCHREF(&held);
      Variant manager = object != nullptr
                            ? Variant::Object(std::make_shared<DispatchDataAccessManager>(object))
                            : FromVariant(held);
      main_.GetDataAccessManager(manager);
    });
  }
  HRESULT STDMETHODCALLTYPE Mostrar() override {
    return Guarded([&] {
      const RecordsetClassScope runs;  // the copies run inside the dialog's modal loop
      main_.Mostrar();
    });
  }
  HRESULT STDMETHODCALLTYPE setConexionAInternos(IDispatch** p_Conn) override {
    return Guarded([&] { main_.setConexionAInternos(ConnectionFrom(p_Conn)); });
  }
  HRESULT STDMETHODCALLTYPE setFechaActualDeInternos(BSTR* p_Conn) override {
    return Guarded([&] { main_.setFechaActualDeInternos(TextFrom(p_Conn)); });
  }
  HRESULT STDMETHODCALLTYPE setConexionANcm(IDispatch** p_Conn) override {
    return Guarded([&] { main_.setConexionANcm(ConnectionFrom(p_Conn)); });
  }
  HRESULT STDMETHODCALLTYPE get_pLenMaxInterno(LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = main_.get_pLenMaxInterno();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_pLenMaxInterno(LONG lLenMaxInterno) override {
    main_.put_pLenMaxInterno(lLenMaxInterno);
    return S_OK;
  }

  // ISupportErrorInfo: every member of _cMAIN reports its failures as error information.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, IID__cMAIN) ? S_OK : S_FALSE;
  }

 protected:
  void* Find(REFIID iid) override {
    if (IsEqualIID(iid, IID__cMAIN) || IsEqualIID(iid, IID_IDispatch)) {
      return static_cast<_cMAIN*>(this);
    }
    if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

 private:
  cMAIN main_;
};

}  // namespace

ITypeInfo* CMainTypeInfo() {
  // Kept for the life of the process, so the module answers dispatch calls without reloading it.
  static ITypeInfo* info = [] {
    ITypeLib* library = nullptr;
    ITypeInfo* found = nullptr;
    if (SUCCEEDED(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library))) {
      library->GetTypeInfoOfGuid(IID__cMAIN, &found);
      library->Release();
    }
    return found;
  }();
  return info;
}

_cMAIN* NewCMain() {
  if (CMainTypeInfo() == nullptr) {
    throw Failure(err::kCannotCreateObject, err::runtime(err::kCannotCreateObject).description());
  }
  return new ComCMain();
}

}  // namespace oq::win32
