#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "careful_host/preview.h"

namespace oq::careful {

// The preview as a table, one line per item (only those `option` keeps, or every item for
// "todos"), then the totals: what each option keeps, what neither keeps, and the source's FOB.
void PrintPreview(std::ostream& out, const Preview& preview, const std::string& option);

// The same as one JSON object.
nlohmann::ordered_json PreviewJson(const Preview& preview, const std::string& option);

// The source's fobdivisas in JSON: its number, the text it holds instead, or null.
nlohmann::ordered_json FobdivisasJson(const Preview& preview);

// A FOB amount as the program prints it: two decimals after a ".", no grouping.
std::string FobText(double fob);

}  // namespace oq::careful
