#include "engine/copy_statements.h"

#include <cstddef>
#include <span>
#include <string_view>

#include "engine/conversions.h"
#include "engine/sql_text.h"
#include "engine/table_layouts.h"

namespace oq {

namespace {

// "'<number>'": an interno number as a text literal that nothing inside it can end early.
std::string Quoted(const std::string& number) { return "'" + sql::Escape(number) + "'"; }

std::string JoinNames(std::span<const std::string_view> names) {
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) joined += ", ";
    joined += names[i];
  }
  return joined;
}

}  // namespace

std::string InvoiceCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO) {
  const std::span<const std::string_view> columns(layout::kFacturas);
  return "insert into facturas (" + JoinNames(columns) + ") select " + Quoted(p_NWNRO) + ", " +
         JoinNames(columns.subspan(1)) + " From facturas Where interno = " + Quoted(p_NRO);
}

std::string CoverSheetCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO,
                                    const std::string& fecha, bool withIdentificadorExterno) {
  const std::size_t count =
      withIdentificadorExterno ? layout::kCaratulaColumnCount : layout::kCaratulaReducedCount;
  const std::span<const std::string_view> columns(layout::kCaratula.data(), count);

  // Item n of the SELECT list fills target column n: the source column itself, except the two
  // dates, which take the session's date expression as given, and the new number.
  std::string sources;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) sources += ", ";
    if (i == layout::kCaratulaFecha || i == layout::kCaratulaFechaAlta) {
      sources += fecha;
    } else if (i == layout::kCaratulaInterno) {
      sources += Quoted(p_NWNRO);
    } else {
      sources += columns[i];
    }
  }
  return "insert into caratula (" + JoinNames(columns) + ") SELECT " + sources +
         " from caratula where interno = " + Quoted(p_NRO);
}

std::string ItemCopyStatement(const std::string& p_NRO, const std::string& p_NWNRO) {
  const std::span<const std::string_view> columns(layout::kSubitems);
  return "insert into subitems (" + JoinNames(columns) + ") select " + Quoted(p_NWNRO) + "," +
         JoinNames(columns.subspan(1)) + " from subitems where interno = " + Quoted(p_NRO) +
         " order by id";
}

std::string ExistenceQuery(const std::string& p_NWNRO) {
  return "select interno from caratula where interno = " + Quoted(p_NWNRO);
}

std::string FobUpdateStatement(double total, std::string_view decimalSeparator,
                               const std::string& p_NWNRO) {
  return "update caratula set fobdivisas = " +
         rt::Replace(rt::Format00_00(total, decimalSeparator), ",", ".") +
         " where interno = " + Quoted(p_NWNRO);
}

}  // namespace oq
