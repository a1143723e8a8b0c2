#include "engine/fob_cover_sheet_copy.h"

#include <optional>

#include "engine/copy_statements.h"
#include "engine/cover_sheet_copy.h"
#include "engine/filtered_item_copy.h"
#include "engine/platform_port.h"
#include "engine/session_objects.h"
#include "engine/sql_text.h"
#include "host/failure.h"

namespace oq {

namespace {

// A numeric field as a number. Some drivers hand exact decimals over as text; such a text is
// still the number it reads as. Null is 94, anything else that is not a number 13.
double NumberOf(const Variant& value) {
  if (!value.isString()) return value.toDouble();
  const std::optional<double> number = filtered::WholeNumber(value.asString());
  if (!number) throw err::runtime(err::kTypeMismatch);
  return *number;
}

// Runs `statement` through crearrs into `recordset` and reads `field` of its current row.
Variant QueryField(HostConnection& connection, Variant& recordset, const std::string& statement,
                   const char* field) {
  connection.put_sql(statement);
  connection.crearrs(recordset);
  return filtered::RequireRecordset(recordset).Fields(field).Value();
}

}  // namespace

bool AgregarCaratulaRecalculandoFOB(CopyContext& ctx, const std::string& p_NRO,
                                    const std::string& p_NWNRO) {
  bool result = false;
  // One record-set variable serves both queries and is released, unclosed, when the step ends.
  Variant recordset;
  try {
    const std::shared_ptr<HostConnection> internos = InternosConnection();
    result = CopyInvoicesAndCoverSheet(ctx, *internos, p_NRO, p_NWNRO, false,
                                       &filtered::GreaterThanZero);

    // The total follows whatever items the new number holds now, including any an earlier
    // attempt left there, since the items are copied before the cover sheet.
    const std::string ofNewNumber = " where interno = '" + sql::Escape(p_NWNRO) + "'";
    const Variant count = QueryField(
        *internos, recordset,
        "select count(interno) as cantidadDeSubitemsCargados from subitems" + ofNewNumber,
        "cantidadDeSubitemsCargados");
    if (filtered::GreaterThanZero(count)) {
      const Variant total = QueryField(
          *internos, recordset, "select sum(fob) as total from subitems" + ofNewNumber, "total");
      internos->put_sql(
          FobUpdateStatement(NumberOf(total), ctx.platform.DecimalSeparator(), p_NWNRO));
      internos->ejecutar();
    } else {
      internos->put_sql("update caratula set fobdivisas = 0 " + ofNewNumber);
      internos->ejecutar();
      ctx.platform.MsgBox(
          "No se encontraron Subitems que cumplan la condición especificada. La carátula tendrá "
          "valor 0 de FOB",
          vbInformation);
    }
  } catch (const Failure& failure) {
    ctx.platform.MsgBox(CoverSheetFailureText(failure), vbCritical);
  }
  return result;
}

}  // namespace oq
