#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace oq::layout {

// The ordered column lists of the dispatch-file tables: the one definition every copy statement
// and every schema is built from. Positions below are 0-based indexes into these arrays.

// caratula, the cover sheet: 87 copied columns.
inline constexpr std::size_t kCaratulaColumnCount = 87;
extern const std::array<std::string_view, kCaratulaColumnCount> kCaratula;
inline constexpr std::size_t kCaratulaFecha = 37;      // "fecha": gets the session's date text
inline constexpr std::size_t kCaratulaInterno = 45;    // "interno": gets the new number
inline constexpr std::size_t kCaratulaFechaAlta = 74;  // "fechaalta": gets the date text again
inline constexpr std::size_t kCaratulaFob = 6;         // "fobdivisas": recalculated by filtered copies
// The copy with FOB recalculation writes the first 86 columns: all but identificador_externo.
inline constexpr std::size_t kCaratulaReducedCount = 86;

// facturas, the invoices: interno, orden, factura.
inline constexpr std::size_t kFacturasColumnCount = 3;
extern const std::array<std::string_view, kFacturasColumnCount> kFacturas;

// subitems, the line items: the 33 copied columns ("id" is the table's own and never copied).
inline constexpr std::size_t kSubitemsColumnCount = 33;
extern const std::array<std::string_view, kSubitemsColumnCount> kSubitems;
inline constexpr std::size_t kSubitemsInterno = 0;
inline constexpr std::size_t kSubitemsNcm = 3;
inline constexpr std::size_t kSubitemsFob = 26;

// ncm, the tariff nomenclature: the three columns the filtered copies read.
inline constexpr std::string_view kNcmPosition = "[001]";
inline constexpr std::string_view kNcmSuffix = "[002]";
inline constexpr std::string_view kNcmLicenceMark = "[059]";

}  // namespace oq::layout
