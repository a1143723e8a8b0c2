#include "server/win32/com_failure.h"

#include <windows.h>

#include <new>

#include "server/win32/com_object.h"
#include "server/win32/com_text.h"

namespace oq::win32 {

namespace {

// The run-time error a script sees for each standard automation failure; a null text means the
// number's usual one.
struct StandardFailure {
  HRESULT result;
  std::int32_t number;
  const char* text;
};
constexpr StandardFailure kStandardFailures[] = {
    {E_INVALIDARG, err::kInvalidProcedureCall, nullptr},
    {DISP_E_OVERFLOW, err::kOverflow, nullptr},
    {E_OUTOFMEMORY, 7, "Out of memory"},
    {DISP_E_BADINDEX, 9, "Subscript out of range"},
    {DISP_E_ARRAYISLOCKED, 10, "This array is fixed or temporarily locked"},
    {DISP_E_DIVBYZERO, 11, "Division by zero"},
    {DISP_E_TYPEMISMATCH, err::kTypeMismatch, nullptr},
    {E_ACCESSDENIED, 70, "Permission denied"},
    {REGDB_E_CLASSNOTREG, err::kCannotCreateObject, nullptr},
    {CO_E_CLASSSTRING, err::kCannotCreateObject, nullptr},
    {CO_E_SERVER_EXEC_FAILURE, err::kCannotCreateObject, nullptr},
    {E_NOINTERFACE, 430,
     "Class does not support Automation or does not support expected interface"},
    {DISP_E_UNKNOWNINTERFACE, 430,
     "Class does not support Automation or does not support expected interface"},
    {DISP_E_MEMBERNOTFOUND, err::kMemberNotSupported, nullptr},
    {DISP_E_UNKNOWNNAME, err::kMemberNotSupported, nullptr},
    {DISP_E_NONAMEDARGS, 446, "Object doesn't support named arguments"},
    {DISP_E_UNKNOWNLCID, 447, "Object doesn't support current locale setting"},
    {DISP_E_PARAMNOTFOUND, 448, "Named argument not found"},
    {DISP_E_PARAMNOTOPTIONAL, 449, "Argument not optional"},
    {DISP_E_BADPARAMCOUNT, err::kWrongArgumentCount, nullptr},
    {DISP_E_NOTACOLLECTION, 451, "Object not a collection"},
    {DISP_E_BADVARTYPE, 458, "Variable uses an Automation type not supported"},
};

// The number and usual text of a result: its run-time error, its standard failure, or the system's
// own text for it.
Failure FromResultAlone(HRESULT result) {
  if (HRESULT_FACILITY(result) == FACILITY_CONTROL) return err::runtime(HRESULT_CODE(result));
  for (const StandardFailure& known : kStandardFailures) {
    if (known.result != result) continue;
    return known.text != nullptr ? Failure(known.number, known.text) : err::runtime(known.number);
  }
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string narrow = length > 0 ? Narrow(text, length) : std::string();
  ::LocalFree(text);
  while (!narrow.empty() && (narrow.back() == '\n' || narrow.back() == '\r')) narrow.pop_back();
  const auto number = static_cast<std::int32_t>(result);
  return narrow.empty() ? err::runtime(number) : Failure(number, narrow);
}

// The object's own description and source laid over the failure its number gives.
Failure WithText(const Failure& byNumber, BSTR description, BSTR source) {
  std::string text = FromBstr(description);
  return Failure(byNumber.number(), text.empty() ? byNumber.description() : std::move(text),
                 source != nullptr ? FromBstr(source) : byNumber.source());
}

}  // namespace

Failure FailureFromExcepInfo(const EXCEPINFO& info) {
  EXCEPINFO filled = info;
  if (filled.pfnDeferredFillIn != nullptr) filled.pfnDeferredFillIn(&filled);
  const Failure byNumber = filled.wCode != 0
                               ? err::runtime(filled.wCode)
                               : FromResultAlone(filled.scode != 0 ? filled.scode : E_FAIL);
  return WithText(byNumber, filled.bstrDescription, filled.bstrSource);
}

Failure FailureFromResult(HRESULT result, IUnknown* object) {
  const Failure byNumber = FromResultAlone(result);
  ComRef<ISupportErrorInfo> supports;
  ComRef<IErrorInfo> info;
  const bool supported =
      object == nullptr ||
      (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                        reinterpret_cast<void**>(supports.Receive()))) &&
       supports->InterfaceSupportsErrorInfo(IID_IDispatch) == S_OK);
  if (!supported || ::GetErrorInfo(0, info.Receive()) != S_OK || !info) {
    return byNumber;
  }
  BSTR description = nullptr, source = nullptr;
  info->GetDescription(&description);
  info->GetSource(&source);
  Failure failure = WithText(byNumber, description, source);
  ::SysFreeString(description);
  ::SysFreeString(source);
  return failure;
}

HRESULT ResultOf(const Failure& failure) {
  const std::int32_t number = failure.number();
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
  return static_cast<HRESULT>(number);
}

HRESULT Guarded(const std::function<void()>& body) {
  try {
    body();
    ::SetErrorInfo(0, nullptr);
    return S_OK;
  } catch (const Failure& failure) {
    ComRef<ICreateErrorInfo> create;
    if (SUCCEEDED(::CreateErrorInfo(create.Receive()))) {
      create->SetDescription(Wide(failure.description()).data());
      create->SetSource(Wide(failure.source()).data());
      ComRef<IErrorInfo> info;
      if (SUCCEEDED(
              create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.Receive())))) {
        ::SetErrorInfo(0, info.get());
      }
    }
    return ResultOf(failure);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace oq::win32
