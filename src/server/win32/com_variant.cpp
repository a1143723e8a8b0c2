#include "server/win32/com_variant.h"

#include "host/failure.h"
#include "server/win32/com_text.h"
#include "server/win32/dispatch_caller.h"

namespace oq::win32 {

namespace {

double AsDouble(const VARIANT& value) {
  ComVariant converted;
  if (FAILED(::VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, VT_R8))) {
    throw err::runtime(err::kTypeMismatch);
  }
  return V_R8(converted.get());
}

}  // namespace

Variant FromVariant(const VARIANT& value) {
  if (V_VT(&value) == (VT_BYREF | VT_VARIANT)) return FromVariant(*V_VARIANTREF(&value));
  if ((V_VT(&value) & VT_BYREF) != 0) {
    ComVariant copy;
    if (FAILED(::VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value))))
      throw err::runtime(err::kTypeMismatch);
    return FromVariant(*copy);
  }
  switch (V_VT(&value)) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_BOOL:
      return Variant::Boolean(V_BOOL(&value) != VARIANT_FALSE);
    case VT_UI1:
      return Variant::Integer(V_UI1(&value));
    case VT_I1:
      return Variant::Integer(V_I1(&value));
    case VT_I2:
      return Variant::Integer(V_I2(&value));
    case VT_UI2:
      return Variant::Long(V_UI2(&value));
    case VT_I4:
    case VT_INT:
      return Variant::Long(V_I4(&value));
    case VT_UI4:
    case VT_UINT:
      return Variant::LongLong(V_UI4(&value));
    case VT_I8:
      return Variant::LongLong(V_I8(&value));
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE:
    case VT_UI8:
      return Variant::Double(AsDouble(value));
    case VT_BSTR:
      return Variant::String(FromBstr(V_BSTR(&value)));
    case VT_DISPATCH:
      if (V_DISPATCH(&value) == nullptr) return Variant::Object(nullptr);
      return Variant::Object(std::make_shared<DispatchObject>(V_DISPATCH(&value)));
    case VT_ERROR:
      // An omitted argument: VB shows it as a missing value, which reads as Empty here.
      return Variant();
    default:
      throw err::runtime(err::kTypeMismatch);
  }
}

void ToVariant(const Variant& value, VARIANT* out) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      V_VT(out) = VT_EMPTY;
      return;
    case Variant::Kind::kNull:
      V_VT(out) = VT_NULL;
      return;
    case Variant::Kind::kBoolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.asBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case Variant::Kind::kInteger:
      V_VT(out) = VT_I2;
      V_I2(out) = static_cast<SHORT>(value.toInt64());
      return;
    case Variant::Kind::kLong:
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(value.toInt64());
      return;
    case Variant::Kind::kLongLong:
      V_VT(out) = VT_I8;
      V_I8(out) = value.toInt64();
      return;
    case Variant::Kind::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = value.toDouble();
      return;
    case Variant::Kind::kString:
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = Bstr(value.asString()).Release();
      return;
    case Variant::Kind::kObject: {
      const ObjectRef& object = value.asObject();
      auto* holder = dynamic_cast<DispatchHolder*>(object.get());
      if (object && holder == nullptr) throw err::runtime(err::kTypeMismatch);
      V_VT(out) = VT_DISPATCH;
      V_DISPATCH(out) = holder != nullptr ? holder->dispatch() : nullptr;
      if (V_DISPATCH(out) != nullptr) V_DISPATCH(out)->AddRef();
      return;
    }
  }
}

}  // namespace oq::win32
