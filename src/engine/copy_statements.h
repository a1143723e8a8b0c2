#pragma once

#include <string>
#include <string_view>

namespace oq {

// The set-based copy statements, built from the shared column lists (table_layouts.h). Interno
// numbers are written as text literals with their single quotes doubled; the date text is an SQL
// value expression and goes in unchanged.

// "insert into facturas (interno, orden, factura) select '<new>', orden, factura From facturas
// Where interno = '<source>'".
std::string InvoiceCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO);

// The cover-sheet copy: all 87 columns, or the first 86 (without identificador_externo) when
// `withIdentificadorExterno` is false; `fecha` and `fechaalta` get `fecha`, `interno` the new
// number.
std::string CoverSheetCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO,
                                    const std::string& fecha, bool withIdentificadorExterno);

// The item copy: every item of the source, in ascending id, under the new number.
std::string ItemCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO);

// "select interno from caratula where interno = '<new>'": whether the new number is taken.
std::string ExistenceQuery(const std::string& p_NWNRO);

// "update caratula set fobdivisas = <total> where interno = '<new>'", the total in the number
// format "00.00" with "." as the decimal mark whatever `decimalSeparator` the region writes.
// Throws Failure 6 for an infinite or NaN total.
std::string FobUpdateStatement(double total, std::string_view decimalSeparator,
                               const std::string& p_NWNRO);

}  // namespace oq
