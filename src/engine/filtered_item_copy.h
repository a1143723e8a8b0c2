#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/copy_context.h"
#include "engine/filtered_item_statements.h"
#include "host/data_access_manager.h"
#include "host/host_connection.h"
#include "host/recordset.h"
#include "host/variant.h"

namespace oq {

// The licence-filtered item copies. Each reads the items of `p_NRO` in ascending id through the
// internos connection, looks every item's tariff position up in `ncm` through the NCM connection
// and writes, one insert per item, only the items whose position carries the licence mark "*"
// (_ConLAPI) or the empty mark (_sinLAPI), under `p_NWNRO`. Values are written as literals
// (filtered_item_statements.h): text values quoted with their single quotes doubled (Null as the
// empty text), numbers with "." as the decimal mark, KGNETO, KGBRUTO and SBTREI as the formatting
// component "cFORMAT.Main" gives them; a number column that holds text gets that text back.
//
// Returns true when every source item was examined, however many were kept. Returns false with
// no message and nothing written when the source has no items; returns false after a message box
// (OK only, no icon) "Error <n> (<description>) in procedure AgregarSubitems_... of Formulario
// frmMAIN" when anything fails, for instance a Null in a number column of a kept item (94) or a
// NUL character in a text (5). Rows written before a failure stay. Nothing throws.
bool AgregarSubitems_ConLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO);
bool AgregarSubitems_sinLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO);

// Small value rules the filtered copy steps share.
namespace filtered {

// The whole text as a number, or nothing when it is not one from end to end: blanks and tabs
// around it are allowed, then an optional sign, digits with "." as the decimal mark and an
// optional exponent.
std::optional<double> WholeNumber(std::string_view text);

// `value > 0` as the copy steps compare a field or a count with zero: a number compares as itself;
// a text that reads wholly as a number (blanks around it allowed, "." as decimal mark) compares as
// that number, and any other text ranks above every number; Null and Empty are not greater.
// Objects throw Failure 13.
bool GreaterThanZero(const Variant& value);

// Whether the licence-filtered copy keeps the item whose ncm text is `ncm`: the variant's tariff
// lookup (filtered_item_statements.h) sent through `ncmConnection`, its first row's `total`
// compared with zero. `tariff` receives the lookup's record set, open when the item is kept. The
// one decision both the copy and a preview of it make. Throws what the lookup throws.
bool TariffKeeps(Licence licence, HostConnection& ncmConnection, DataAccessManager& dam,
                 const std::string& ncm, Variant& tariff);

// A truth value that a host answers for crearrs: Null (and Empty) count as false. Throws Failure
// 13 for a text or an object.
bool CrearrsFound(const Variant& answer);

// The record set a crearrs call left in `holder`: nullptr when it holds nothing (Empty, or an
// object reference to Nothing). Throws Failure 13 when it holds anything else.
Recordset* RecordsetIn(const Variant& holder);

// The record set in `holder`, which must be there: throws Failure 91 when it holds nothing, 13
// when it holds anything else.
Recordset& RequireRecordset(const Variant& holder);

}  // namespace filtered

}  // namespace oq
