#pragma once

#include <oaidl.h>

#include "host/variant.h"

namespace oq::win32 {

// A VARIANT that is cleared when it ends.
class ComVariant {
 public:
  ComVariant() { ::VariantInit(&value_); }
  ComVariant(const ComVariant&) = delete;
  ComVariant& operator=(const ComVariant&) = delete;
  ~ComVariant() { ::VariantClear(&value_); }
  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }

 private:
  VARIANT value_;
};

// The component's value for an automation value: by-reference values are read through, the
// integer kinds keep their width, currency, decimal and date become Double, text becomes UTF-8.
// An object becomes an Object that holds the IDispatch (see DispatchHolder). Arrays and other
// kinds are a type mismatch (Failure 13).
Variant FromVariant(const VARIANT& value);

// The automation value for a component value, written into `out` (which must be empty). An Object
// must hold an object that came from a host (a DispatchHolder) or Nothing; any other is 13.
void ToVariant(const Variant& value, VARIANT* out);

}  // namespace oq::win32
