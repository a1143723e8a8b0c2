#include "server/win32/com_failure.h"

#include <windows.h>

#include <new>

#include "server/win32/com_object.h"
#include "server/win32/com_text.h"

namespace oq::win32 {

namespace {

std::int32_t NumberOf(HRESULT result) {
  if (HRESULT_FACILITY(result) == FACILITY_CONTROL) return HRESULT_CODE(result);
  return static_cast<std::int32_t>(result);
}

// The system's own text for a result, when it has one.
std::string SystemText(HRESULT result) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string narrow = length > 0 ? Narrow(text, length) : std::string();
  ::LocalFree(text);
  while (!narrow.empty() && (narrow.back() == '\n' || narrow.back() == '\r')) narrow.pop_back();
  return narrow;
}

}  // namespace

Failure FailureFromExcepInfo(const EXCEPINFO& info) {
  EXCEPINFO filled = info;
  // A server may defer filling the record to this callback.
  if (filled.pfnDeferredFillIn != nullptr) filled.pfnDeferredFillIn(&filled);
  const std::int32_t number =
      filled.wCode != 0 ? filled.wCode : NumberOf(filled.scode != 0 ? filled.scode : E_FAIL);
  std::string description = FromBstr(filled.bstrDescription);
  if (description.empty()) description = err::runtime(number).description();
  return Failure(number, description, FromBstr(filled.bstrSource));
}

Failure FailureFromResult(HRESULT result) {
  switch (result) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      return err::runtime(err::kMemberNotSupported);
    case DISP_E_BADPARAMCOUNT:
      return err::runtime(err::kWrongArgumentCount);
    case DISP_E_TYPEMISMATCH:
      return err::runtime(err::kTypeMismatch);
    case DISP_E_OVERFLOW:
      return err::runtime(err::kOverflow);
    default:
      break;
  }
  const std::int32_t number = NumberOf(result);
  std::string text = HRESULT_FACILITY(result) == FACILITY_CONTROL
                         ? err::runtime(number).description()
                         : SystemText(result);
  if (text.empty()) text = err::runtime(number).description();
  return Failure(number, text);
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
