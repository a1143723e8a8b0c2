#pragma once

#include <string>

#include "engine/copy_context.h"

namespace oq {

// AgregarSubitems: copies every item of interno `p_NRO` to `p_NWNRO` in ascending id, with one
// INSERT ... SELECT through the session's internos connection; the database gives the new rows
// their ids. True when the statement reports more than 0 rows; false for 0 (a source without
// items, no message) or after a failure, which it shows in a critical message box holding only
// "<n> - <description>". Rows written by earlier steps stay.
bool AgregarSubitems(CopyContext& ctx, const std::string& p_NRO, const std::string& p_NWNRO);

}  // namespace oq
