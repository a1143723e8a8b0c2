#include "preview.h"

#include <map>
#include <utility>

#include "engine/conversions.h"
#include "engine/filtered_item_copy.h"
#include "engine/sql_text.h"
#include "host/failure.h"
#include "host/recordset.h"

namespace oq::app {

namespace {

Recordset& Rows(HostConnection& connection, const std::string& sql, Variant& holder) {
  connection.put_sql(sql);
  connection.crearrs(holder);
  return filtered::RequireRecordset(holder);
}

std::string Piece(const std::string& text, std::size_t from, std::size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string();
}

// What ncm holds for the position and suffix, told the way a broker reads it.
std::string MarkOf(HostConnection& ncm, const std::string& position, const std::string& suffix) {
  Variant holder;
  Recordset& rows = Rows(ncm,
                         "select [059] as mark from ncm where [001] = '" + sql::Escape(position) +
                             "' and [002] = '" + sql::Escape(suffix) + "'",
                         holder);
  if (rows.Eof()) return "not found";
  rows.MoveFirst();
  const Variant mark = rows.Fields("mark").Value();
  rows.MoveNext();
  if (!rows.Eof()) return "several rows";
  if (mark.isNull()) return "Null";
  const std::string text = rt::CStr(mark, ".");
  if (text == "*") return "*";
  if (text.empty()) return "empty";
  return "other: " + text;
}

}  // namespace

Preview BuildPreview(HostConnection& internos, HostConnection& ncm, DataAccessManager& dam,
                     const std::string& source, const std::string& decimalSeparator) {
  Preview preview;
  preview.source = source;
  const std::string where = " where interno = '" + sql::Escape(source) + "'";
  Variant cover;
  Recordset& coverRows = Rows(internos, "select fobdivisas as fob from caratula" + where, cover);
  if (!coverRows.Eof()) {
    coverRows.MoveFirst();
    const Variant fob = coverRows.Fields("fob").Value();
    if (!fob.isNull()) preview.sourceFob = fob.toDouble();
  }

  struct Decision {
    bool con, sin;
    std::string mark;
  };
  std::map<std::string, Decision> decided;
  Variant holder;
  Recordset& items =
      Rows(internos, "select id, ncm, FOB as fob from subitems" + where + " order by id", holder);
  if (!items.Eof()) items.MoveFirst();
  for (; !items.Eof(); items.MoveNext()) {
    PreviewItem item;
    item.id = items.Fields("id").Value().toInt64();
    const Variant ncmValue = items.Fields("ncm").Value();
    item.ncm = ncmValue.isNull() ? std::string() : rt::CStr(ncmValue, decimalSeparator);
    item.position = Piece(item.ncm, 0, 10);
    item.suffix = Piece(item.ncm, 11, 3);
    const Variant fob = items.Fields("fob").Value();
    item.fob = fob.isNumeric() ? fob.toDouble() : 0;
    auto [known, fresh] = decided.try_emplace(item.ncm);
    if (fresh) {
      Variant tariff;
      known->second.con =
          filtered::TariffKeeps(filtered::Licence::kConLAPI, ncm, dam, item.ncm, tariff);
      known->second.sin =
          filtered::TariffKeeps(filtered::Licence::kSinLAPI, ncm, dam, item.ncm, tariff);
      known->second.mark = MarkOf(ncm, item.position, item.suffix);
    }
    item.conKeeps = known->second.con;
    item.sinKeeps = known->second.sin;
    item.mark = known->second.mark;
    PreviewTotals& total = item.conKeeps   ? preview.con
                           : item.sinKeeps ? preview.sin
                                           : preview.neither;
    ++total.items;
    total.fob += item.fob;
    // An item both options keep (not possible with one mark per position) counts for both.
    if (item.conKeeps && item.sinKeeps) {
      ++preview.sin.items;
      preview.sin.fob += item.fob;
    }
    preview.items.push_back(std::move(item));
  }
  return preview;
}

std::string WhyNeither(const PreviewItem& item) {
  if (item.mark == "not found") return "its position and suffix are not in ncm";
  if (item.mark == "Null") return "its position's licence mark is Null";
  if (item.mark == "several rows") return "the first of several ncm rows carries no usable mark";
  return "its position's licence mark is " + item.mark;
}

}  // namespace oq::app
