#pragma once

#include "host/object.h"
#include "host/recordset.h"
#include "host/variant.h"

namespace oq {

// The host's formatting component, registered as "cFORMAT.Main".
class FormatComponent : public Object {
 public:
  // The number to write for a numeric item field: given the field object itself (not a copy of
  // its value), answers a numeric Variant that renders as a number.
  virtual Variant EsNumero(const Field& field) = 0;
};

}  // namespace oq
