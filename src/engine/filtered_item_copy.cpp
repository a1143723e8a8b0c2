#include "engine/filtered_item_copy.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "engine/conversions.h"
#include "engine/filtered_item_statements.h"
#include "engine/platform_port.h"
#include "engine/session_objects.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"

namespace oq {

namespace {

bool CopyFilteredItems(CopyContext& ctx, filtered::Licence licence, const std::string& p_NRO,
                       const std::string& p_NWNRO) {
  // Declared outside the try block so that they are released however the call ends.
  Variant items;
  Variant tariff;
  ObjectRef format;
  try {
    const std::shared_ptr<HostConnection> internos = InternosConnection();
    internos->put_sql(filtered::ItemsQuery(licence, p_NRO));
    const bool anyItem = filtered::CrearrsFound(internos->crearrs(items));
    // Whatever crearrs answers, what it leaves behind must be a record set or nothing.
    Recordset* const itemSet = filtered::RecordsetIn(items);
    if (!anyItem) return false;
    if (itemSet == nullptr) throw err::runtime(err::kObjectNotSet);
    Recordset& itemRows = *itemSet;
    itemRows.MoveFirst();
    format = CreateObject(std::string(identity::kFormatProgId));

    const std::string separator = ctx.platform.DecimalSeparator();
    while (!itemRows.Eof()) {
      const Variant ncmValue = itemRows.Fields("ncm").Value();
      const std::string ncm = ncmValue.isNull() ? std::string() : rt::CStr(ncmValue, separator);
      if (filtered::TariffKeeps(licence, *NcmConnection(), *SessionDataAccessManager(), ncm,
                                tariff)) {
        internos->put_sql(filtered::ItemInsert(licence, p_NWNRO, itemRows, format, separator));
        internos->ejecutar();
        filtered::RecordsetIn(tariff)->Close();
        tariff = Variant();
      }
      itemRows.MoveNext();
    }
    itemRows.Close();
    return true;
  } catch (const Failure& failure) {
    ctx.platform.MsgBox("Error " + std::to_string(failure.number()) + " (" + failure.description() +
                            std::string(filtered::ProcedureInMessage(licence)),
                        vbOKOnly);
    return false;
  }
}

}  // namespace

bool AgregarSubitems_ConLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO) {
  return CopyFilteredItems(ctx, filtered::Licence::kConLAPI, p_NRO, p_NWNRO);
}

bool AgregarSubitems_sinLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO) {
  return CopyFilteredItems(ctx, filtered::Licence::kSinLAPI, p_NRO, p_NWNRO);
}

namespace filtered {

std::optional<double> WholeNumber(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars also reads "inf" and "nan", which no column holds as a number.
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return std::nullopt;
  }
  double number = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -number : number;
}

bool GreaterThanZero(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull:
      return false;
    case Variant::Kind::kString: {
      const std::optional<double> number = WholeNumber(value.asString());
      return number ? *number > 0.0 : true;
    }
    default:
      return value.toDouble() > 0.0;
  }
}

bool TariffKeeps(Licence licence, HostConnection& ncmConnection, DataAccessManager& dam,
                 const std::string& ncm, Variant& tariff) {
  ncmConnection.put_sql(TariffLookup(licence, dam, ncm));
  const bool found = CrearrsFound(ncmConnection.crearrs(tariff));
  Recordset* const positions = RecordsetIn(tariff);
  if (!found) return false;
  if (positions == nullptr) throw err::runtime(err::kObjectNotSet);
  positions->MoveFirst();
  // Only the first matching row counts: an item is written once however many rows match.
  return GreaterThanZero(positions->Fields("total").Value());
}

bool CrearrsFound(const Variant& answer) {
  if (answer.isNull() || answer.isEmpty()) return false;
  return answer.isTrue();
}

Recordset* RecordsetIn(const Variant& holder) {
  if (holder.isEmpty()) return nullptr;
  const ObjectRef& object = holder.asObject();
  if (!object) return nullptr;
  auto* recordset = dynamic_cast<Recordset*>(object.get());
  if (recordset == nullptr) throw err::runtime(err::kTypeMismatch);
  return recordset;
}

Recordset& RequireRecordset(const Variant& holder) {
  Recordset* recordset = RecordsetIn(holder);
  if (recordset == nullptr) throw err::runtime(err::kObjectNotSet);
  return *recordset;
}

}  // namespace filtered

}  // namespace oq
