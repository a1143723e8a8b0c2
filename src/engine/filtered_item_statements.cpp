#include "engine/filtered_item_statements.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "engine/conversions.h"
#include "engine/sql_text.h"
#include "engine/table_layouts.h"
#include "host/failure.h"
#include "host/format_component.h"
#include "host/variant.h"

namespace oq::filtered {

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

const LicenceVariant& VariantOf(Licence licence) {
  return licence == Licence::kConLAPI ? kConLAPI : kSinLAPI;
}

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
void AppendTextLiteral(std::string& out, const Variant& value, std::string_view decimalSeparator) {
  sql::AppendQuoted(out, value.isNull() ? std::string() : rt::CStr(value, decimalSeparator));
}

// The component is reached by member name, so an object without EsNumero fails only when asked.
Variant EsNumero(const ObjectRef& format, const Field& field) {
  auto* component = dynamic_cast<FormatComponent*>(format.get());
  if (component == nullptr)
    throw err::runtime(format ? err::kMemberNotSupported : err::kObjectNotSet);
  return component->EsNumero(field);
}

}  // namespace

std::string ItemsQuery(Licence licence, const std::string& p_NRO) {
  return "select " + SharedColumnPieces(1) + std::string(VariantOf(licence).itemsQueryLastColumns) +
         "from subitems where interno = '" + sql::Escape(p_NRO) + "' order by id";
}

std::string TariffLookup(Licence licence, DataAccessManager& dam, const std::string& ncm) {
  // Built once per item: the text is put together in place rather than from temporaries.
  const LicenceVariant& variant = VariantOf(licence);
  std::string quotedLiteral;
  sql::AppendQuoted(quotedLiteral, ncm);
  const std::string mid = dam.getMidFormatbyEntity("INTERNOS", quotedLiteral, "12", "3");
  std::string lookup;
  lookup.reserve(variant.lookupOpening.size() + 2 * quotedLiteral.size() + mid.size() +
                 variant.lookupClosing.size() + 32);
  lookup += variant.lookupOpening;
  lookup.append(quotedLiteral, 1);  // the opening's own quote comes before the code
  lookup += ",10) = [001] and ";
  lookup += mid;
  lookup += variant.lookupClosing;
  return lookup;
}

std::string ItemInsert(Licence licence, const std::string& p_NWNRO, Recordset& items,
                       const ObjectRef& format, std::string_view decimalSeparator) {
  // Built once per item of thousands: the column list is the same every time.
  static const std::string kColumns = SharedColumnPieces(0);
  const std::string_view last = VariantOf(licence).insertLastColumns;
  std::string insert;
  insert.reserve(1024);
  insert.append("insert into subitems (").append(kColumns).append(last).append("values ('");
  sql::AppendEscaped(insert, p_NWNRO);
  insert.push_back('\'');
  std::string& values = insert;
  // Each column's name and form, found once: the same for every item.
  static const std::vector<std::pair<std::string, ValueForm>> kColumnForms = [] {
    std::vector<std::pair<std::string, ValueForm>> forms;
    for (std::size_t i = 0; i < layout::kSubitemsColumnCount; ++i) {
      forms.emplace_back(layout::kSubitems[i], FormOf(layout::kSubitems[i]));
    }
    return forms;
  }();
  for (std::size_t i = 1; i < layout::kSubitemsColumnCount; ++i) {
    values += EndsLine(i - 1) ? ", " : ",";
    const auto& [column, form] = kColumnForms[i];
    Field& field = items.Fields(column);
    switch (form) {
      case ValueForm::kText:
        AppendTextLiteral(values, field.Value(), decimalSeparator);
        break;
      case ValueForm::kNumber:
        values += sql::NumberLiteral(field.Value(), decimalSeparator);
        break;
      case ValueForm::kEsNumero:
        values += sql::NumberLiteral(EsNumero(format, field), decimalSeparator);
        break;
    }
  }
  insert.push_back(')');
  return insert;
}

std::string_view ProcedureInMessage(Licence licence) {
  return VariantOf(licence).procedureInMessage;
}

}  // namespace oq::filtered
