#include "careful_host/preview.h"

#include <map>
#include <tuple>
#include <utility>

#include "careful_host/connection_url.h"
#include "careful_host/main_session.h"
#include "careful_host/preflight.h"
#include "careful_host/preview_output.h"
#include "careful_host/request_checks.h"
#include "connectors/common/round_trips.h"
#include "engine/conversions.h"
#include "engine/filtered_item_copy.h"
#include "engine/sql_text.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "platform/regional_settings.h"

namespace oq::careful {

namespace {

Recordset& Rows(HostConnection& connection, const std::string& sql, Variant& holder) {
  connection.put_sql(sql);
  connection.crearrs(holder);
  return filtered::RequireRecordset(holder);
}

// The position and suffix of an item's ncm text, cut by the NCM database with the expressions
// of the copy's own lookup, so that they agree with it character for character.
std::pair<std::string, std::string> Cut(HostConnection& ncm, DataAccessManager& dam,
                                        const std::string& quoted) {
  Variant holder;
  Recordset& rows = Rows(ncm,
                         "select left(" + quoted + ",10) as position, " +
                             dam.getMidFormatbyEntity("INTERNOS", quoted, "12", "3") + " as suffix",
                         holder);
  rows.MoveFirst();
  const auto text = [&](const char* field) {
    const Variant value = rows.Fields(field).Value();
    return value.isNull() ? std::string() : rt::CStr(value, ".");
  };
  return {text("position"), text("suffix")};
}

// What ncm holds for the item's position and suffix, told the way a broker reads it.
std::string MarkOf(HostConnection& ncm, DataAccessManager& dam, const std::string& quoted) {
  Variant holder;
  Recordset& rows =
      Rows(ncm,
           "select [059] as mark from ncm where left(" + quoted + ",10) = [001] and " +
               dam.getMidFormatbyEntity("INTERNOS", quoted, "12", "3") + " = [002]",
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
  // The lookups read one state of the tariff, under one lock of its file instead of one each.
  const connectors::HeldReads held(dynamic_cast<connectors::RoundTrips*>(&ncm));
  Preview preview;
  preview.source = source;
  const std::string where = " where interno = '" + sql::Escape(source) + "'";
  Variant cover;
  Recordset& coverRows = Rows(internos, "select fobdivisas as fob from caratula" + where, cover);
  if (!coverRows.Eof()) {
    coverRows.MoveFirst();
    const Variant fob = coverRows.Fields("fob").Value();
    if (fob.isNumeric()) {
      preview.sourceFob = fob.toDouble();
    } else if (fob.isString()) {
      preview.sourceFob = filtered::WholeNumber(fob.asString());
      if (!preview.sourceFob) preview.sourceFobText = fob.asString();
    }
  }

  struct Decision {
    bool con, sin;
    std::string mark, position, suffix;
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
    const Variant fob = items.Fields("fob").Value();
    item.fob = fob.isNumeric() ? fob.toDouble() : 0;
    auto [known, fresh] = decided.try_emplace(item.ncm);
    if (fresh) {
      Variant tariff;
      known->second.con =
          filtered::TariffKeeps(filtered::Licence::kConLAPI, ncm, dam, item.ncm, tariff);
      known->second.sin =
          filtered::TariffKeeps(filtered::Licence::kSinLAPI, ncm, dam, item.ncm, tariff);
      const std::string quoted = "'" + sql::Escape(item.ncm) + "'";
      std::tie(known->second.position, known->second.suffix) = Cut(ncm, dam, quoted);
      known->second.mark = MarkOf(ncm, dam, quoted);
    }
    item.conKeeps = known->second.con;
    item.sinKeeps = known->second.sin;
    item.mark = known->second.mark;
    item.position = known->second.position;
    item.suffix = known->second.suffix;
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

Preview ReadPreview(const std::string& internosUrl, const std::string& ncmUrl,
                    const std::string& source,
                    const std::function<void(const std::string& line)>& say) {
  decltype(OpenConnectionReadOnly(internosUrl)) internos, ncm;
  try {
    internos = OpenConnectionReadOnly(internosUrl);
    ncm = ncmUrl == internosUrl ? internos : OpenConnectionReadOnly(ncmUrl);
    RegisterComponentsFor(internosUrl, ncmUrl);
  } catch (const std::exception& e) {
    throw CheckRefusal("cannot open the database " + (internos ? ncmUrl : internosUrl) + ": " +
                       e.what());
  }
  PrepareDatabases({internos, ncm}, say);
  CheckInternosTables(*internos, internosUrl);
  CheckNcmTable(*ncm, ncmUrl, ncmUrl == internosUrl);
  CheckSourceExists(*internos, source, internosUrl);
  const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
  return BuildPreview(*internos, *ncm, dynamic_cast<DataAccessManager&>(*dam), source,
                      UserDecimalSeparator());
}

std::string SourceFobShown(const Preview& preview) {
  if (preview.sourceFob) return FobText(*preview.sourceFob);
  if (preview.sourceFobText.empty()) return "Null";
  return "'" + preview.sourceFobText + "' (not a number)";
}

std::string WhyNeither(const PreviewItem& item) {
  if (item.mark == "not found") return "its position and suffix are not in ncm";
  if (item.mark == "Null") return "its position's licence mark is Null";
  if (item.mark == "several rows") return "the first of several ncm rows carries no usable mark";
  return "its position's licence mark is " + item.mark;
}

}  // namespace oq::careful
