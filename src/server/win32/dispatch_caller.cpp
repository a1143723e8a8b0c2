#include "server/win32/dispatch_caller.h"

#include <algorithm>
#include <array>

#include "host/failure.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_text.h"

namespace oq::win32 {

namespace {
// IDispatchEx's interface id; mingw-w64's uuid library lacks it.
constexpr IID kIDispatchEx = {
    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
}  // namespace

DispatchCaller::DispatchCaller(IDispatch* object) : object_(ComRef<IDispatch>::Share(object)) {
  if (!object_) throw err::runtime(err::kObjectNotSet);
  object_->QueryInterface(kIDispatchEx, reinterpret_cast<void**>(scripted_.Receive()));
}

DISPID DispatchCaller::IdOf(std::string_view name) const {
  if (name.empty()) return DISPID_VALUE;
  for (const auto& [known, id] : ids_) {
    if (known == name) return id;
  }
  DISPID id = DISPID_UNKNOWN;
  HRESULT result = E_NOTIMPL;
  if (scripted_) {
    const Bstr text(name);
    result = scripted_->GetDispID(text.get(), fdexNameCaseInsensitive, &id);
  }
  if (FAILED(result)) {
    std::wstring wide = Wide(name);
    LPOLESTR names[] = {wide.data()};
    result = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  }
  if (FAILED(result)) throw err::runtime(err::kMemberNotSupported);
  ids_.emplace_back(std::string(name), id);
  return id;
}

void DispatchCaller::Call(std::string_view name, WORD flags, std::vector<VARIANT>& args,
                          VARIANT* result) const {
  const DISPID id = IdOf(name);
  // Automation takes the arguments last to first; the host's members take at most a few.
  std::array<VARIANT, 8> reversed;
  if (args.size() > reversed.size()) throw err::runtime(err::kWrongArgumentCount);
  std::reverse_copy(args.begin(), args.end(), reversed.begin());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(args.size()), 0};
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO info{};
  UINT badArgument = 0;
  const HRESULT outcome = scripted_ ? scripted_->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params,
                                                          result, &info, nullptr)
                                    : object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                                      &params, result, &info, &badArgument);
  if (outcome == DISP_E_EXCEPTION) {
    const Failure failure = FailureFromExcepInfo(info);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    throw failure;
  }
  if (FAILED(outcome)) throw FailureFromResult(outcome, object_.get());
}

void DispatchCaller::Get(std::string_view name, VARIANT* result) const {
  std::vector<VARIANT> none;
  Call(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, result);
}

void DispatchCaller::Put(std::string_view name, VARIANT& value) const {
  std::vector<VARIANT> args{value};
  Call(name, DISPATCH_PROPERTYPUT, args);
}

}  // namespace oq::win32
