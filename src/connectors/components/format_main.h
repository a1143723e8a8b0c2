#pragma once

#include <optional>
#include <string_view>

#include "host/format_component.h"

namespace oq::components {

// The formatting component registered as "cFORMAT.Main".
class FormatMain : public FormatComponent {
 public:
  // The field's numeric value: a number is returned as it is (a Boolean as the Integer -1 or 0);
  // a text that reads wholly as a number (blanks around it allowed, "." or "," as decimal
  // separator, optional sign and exponent) as a Double; Null, Empty and any other text give the
  // Long 0. Failures of the field itself (closed record set, no current row) propagate.
  Variant EsNumero(const Field& field) override;
};

// The number a text reads as under EsNumero's rule, or nothing when it is not numeric.
std::optional<double> ParseNumericText(std::string_view text);

}  // namespace oq::components
