#pragma once

#include <string>

namespace oq {

// The decimal separator of the user's regional settings, taken from the user's locale
// (LC_ALL, LC_NUMERIC, LANG): "," for a locale that writes decimals with a comma, "." otherwise.
std::string UserDecimalSeparator();

}  // namespace oq
