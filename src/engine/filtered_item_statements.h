#pragma once

#include <string>
#include <string_view>

#include "host/data_access_manager.h"
#include "host/object.h"
#include "host/recordset.h"

namespace oq::filtered {

// The two licence-filtered item copies: _ConLAPI keeps the items whose tariff position carries
// the mark "*", _sinLAPI those whose position carries the empty mark.
enum class Licence { kConLAPI, kSinLAPI };

// The statements of one licence-filtered item copy. Pure text builders: they send nothing, and
// every value they place in a statement is a literal that cannot end early (sql_text.h).

// The query of the source's items, in ascending id, with the 32 copied columns.
std::string ItemsQuery(Licence licence, const std::string& p_NRO);

// The tariff lookup of an item whose ncm text is `ncm`: the ncm rows of its position (characters
// 1 to 10) and suffix (12 to 14, through the manager's substring expression for "INTERNOS") that
// carry the variant's mark. Throws what the manager throws.
std::string TariffLookup(Licence licence, DataAccessManager& dam, const std::string& ncm);

// The insert of the current row of `items` under `p_NWNRO`: text columns quoted (Null as the empty
// text), number columns as sql::NumberLiteral writes them, KGNETO, KGBRUTO and SBTREI as
// NumberLiteral of what the formatting component `format` gives for the field. Throws Failure 94
// for a Null number, 5 for a text holding a NUL, 91 / 438 when `format` is not the component, and
// whatever reading the record set or the component throws.
std::string ItemInsert(Licence licence, const std::string& p_NWNRO, Recordset& items,
                       const ObjectRef& format, std::string_view decimalSeparator);

// The closing text of the failure message of the variant's procedure, from ") in procedure".
std::string_view ProcedureInMessage(Licence licence);

}  // namespace oq::filtered
