#include "engine/filtered_item_copy.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <optional>

#include "engine/conversions.h"
#include "engine/platform_port.h"
#include "engine/session_objects.h"
#include "engine/sql_text.h"
#include "engine/table_layouts.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/format_component.h"

namespace oq {

namespace {

// The only texts in which the two variants differ. Their blanks are part of the statements the
// host's logs and traces show, so they are kept exactly as the variants have always sent them.
struct LicenceVariant {
  std::string_view itemsQueryLastColumns;
  std::string_view lookupOpening;
  std::string_view lookupClosing;
  std::string_view insertLastColumns;
  std::string_view procedureInMessage;
};

constexpr LicenceVariant kConLAPI = {
    "lapi , KGNETO, KGBRUTO, FOB, SBTREI, ITFILLER, descripcion_maria,  idpaisproc, certorig, "
    "naladisa ",
    "select [001] as total,[002] from ncm where (left('",
    " = [002] and [059] = '*')",
    "lapi,KGNETO,KGBRUTO,FOB,SBTREI,ITFILLER, descripcion_maria, idpaisproc, certorig, naladisa) ",
    ") in procedure AgregarSubitems_ConLAPI of Formulario frmMAIN",
};

constexpr LicenceVariant kSinLAPI = {
    "lapi , KGNETO, KGBRUTO, FOB, SBTREI, ITFILLER, descripcion_maria,idpaisproc , certorig, "
    "naladisa ",
    "select [001] as total ,[002] from ncm where (left('",
    " = [002] and [059] = '')",
    "lapi,KGNETO,KGBRUTO,FOB,SBTREI,ITFILLER, descripcion_maria,idpaisproc , certorig, naladisa) ",
    ") in procedure AgregarSubitems_sinLAPI of Formulario frmMAIN",
};

// The shared part of the column lists ends at SUFIJOS; the variant's own piece names the rest.
// The lists are written in lines that end after these columns, and the value list of an insert
// puts a blank after the same positions.
constexpr std::size_t kLastSharedColumn = 22;  // SUFIJOS
constexpr std::array<std::size_t, 4> kLineEnds = {6, 11, 16, 22};

bool EndsLine(std::size_t column) {
  return std::find(kLineEnds.begin(), kLineEnds.end(), column) != kLineEnds.end();
}

// Columns first..SUFIJOS of subitems, "," between names and ", " at each line end.
std::string SharedColumnPieces(std::size_t first) {
  std::string pieces;
  for (std::size_t i = first; i <= kLastSharedColumn; ++i) {
    pieces += layout::kSubitems[i];
    pieces += EndsLine(i) ? ", " : ",";
  }
  return pieces;
}

enum class ValueForm { kText, kNumber, kEsNumero };

ValueForm FormOf(std::string_view column) {
  static constexpr std::array<std::string_view, 7> kNumbers = {
      "Cantidad",    "Preciounitario", "valorrelacionestadistica",
      "insumostemp", "insumosacons",   "valorderesp",
      "FOB"};
  static constexpr std::array<std::string_view, 3> kEsNumeros = {"KGNETO", "KGBRUTO", "SBTREI"};
  if (std::find(kNumbers.begin(), kNumbers.end(), column) != kNumbers.end()) {
    return ValueForm::kNumber;
  }
  if (std::find(kEsNumeros.begin(), kEsNumeros.end(), column) != kEsNumeros.end()) {
    return ValueForm::kEsNumero;
  }
  return ValueForm::kText;
}

// A text literal: a Null field has no text, so it is written as the empty text, never as NULL.
std::string TextLiteral(const Variant& value, std::string_view decimalSeparator) {
  const std::string text = value.isNull() ? std::string() : rt::CStr(value, decimalSeparator);
  return "'" + sql::Escape(text) + "'";
}

// A number literal: the regional conversion, then "." as the decimal mark whatever the region.
// A Null cannot be converted and ends the copy (94).
std::string NumberLiteral(const Variant& value, std::string_view decimalSeparator) {
  return rt::Replace(rt::CStr(value, decimalSeparator), ",", ".");
}

// The component is reached by member name, so an object without EsNumero fails only when asked.
Variant EsNumero(const ObjectRef& format, const Field& field) {
  auto* component = dynamic_cast<FormatComponent*>(format.get());
  if (component == nullptr)
    throw err::runtime(format ? err::kMemberNotSupported : err::kObjectNotSet);
  return component->EsNumero(field);
}

std::string ItemsQuery(const LicenceVariant& variant, const std::string& p_NRO) {
  return "select " + SharedColumnPieces(1) + std::string(variant.itemsQueryLastColumns) +
         "from subitems where interno = '" + sql::Escape(p_NRO) + "' order by id";
}

std::string TariffLookup(const LicenceVariant& variant, DataAccessManager& dam,
                         const std::string& ncm) {
  const std::string quoted = sql::Escape(ncm);
  return std::string(variant.lookupOpening) + quoted + "',10) = [001] and " +
         dam.getMidFormatbyEntity("INTERNOS", "'" + quoted + "'", "12", "3") +
         std::string(variant.lookupClosing);
}

std::string ItemInsert(const LicenceVariant& variant, const std::string& p_NWNRO, Recordset& items,
                       const ObjectRef& format, std::string_view decimalSeparator) {
  std::string values = "'" + sql::Escape(p_NWNRO) + "'";
  for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
    values += EndsLine(i - 1) ? ", " : ",";
    const std::string column(layout::kSubitems[i]);
    Field& field = items.Fields(column);
    switch (FormOf(column)) {
      case ValueForm::kText:
        values += TextLiteral(field.Value(), decimalSeparator);
        break;
      case ValueForm::kNumber:
        values += NumberLiteral(field.Value(), decimalSeparator);
        break;
      case ValueForm::kEsNumero:
        values += NumberLiteral(EsNumero(format, field), decimalSeparator);
        break;
    }
  }
  return "insert into subitems (" + SharedColumnPieces(0) + std::string(variant.insertLastColumns) +
         "values (" + values + ")";
}

bool CopyFilteredItems(CopyContext& ctx, const LicenceVariant& variant, const std::string& p_NRO,
                       const std::string& p_NWNRO) {
  // Declared outside the try block so that they are released however the call ends.
  Variant items;
  Variant tariff;
  ObjectRef format;
  try {
    const std::shared_ptr<HostConnection> internos = InternosConnection();
    internos->put_sql(ItemsQuery(variant, p_NRO));
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
      const std::string lookup = TariffLookup(variant, *SessionDataAccessManager(), ncm);
      const std::shared_ptr<HostConnection> ncmConnection = NcmConnection();
      ncmConnection->put_sql(lookup);
      const bool found = filtered::CrearrsFound(ncmConnection->crearrs(tariff));
      Recordset* const positions = filtered::RecordsetIn(tariff);
      if (found) {
        if (positions == nullptr) throw err::runtime(err::kObjectNotSet);
        positions->MoveFirst();
        // Only the first matching row counts: an item is written once however many rows match.
        if (filtered::GreaterThanZero(positions->Fields("total").Value())) {
          internos->put_sql(ItemInsert(variant, p_NWNRO, itemRows, format, separator));
          internos->ejecutar();
          positions->Close();
          tariff = Variant();
        }
      }
      itemRows.MoveNext();
    }
    itemRows.Close();
    return true;
  } catch (const Failure& failure) {
    ctx.platform.MsgBox("Error " + std::to_string(failure.number()) + " (" + failure.description() +
                            std::string(variant.procedureInMessage),
                        vbOKOnly);
    return false;
  }
}

}  // namespace

bool AgregarSubitems_ConLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO) {
  return CopyFilteredItems(ctx, kConLAPI, p_NRO, p_NWNRO);
}

bool AgregarSubitems_sinLAPI(CopyContext& ctx, const std::string& p_NRO,
                             const std::string& p_NWNRO) {
  return CopyFilteredItems(ctx, kSinLAPI, p_NRO, p_NWNRO);
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
