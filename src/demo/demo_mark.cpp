#include "demo/demo_mark.h"

#include <optional>
#include <stdexcept>

#include "engine/conversions.h"
#include "host/failure.h"
#include "host/recordset.h"

namespace oq::demo {

namespace {

// The count of rows of `table`, or nothing when the table is not there.
std::optional<long long> Rows(HostConnection& connection, const std::string& table) {
  try {
    connection.put_sql("select count(*) as n from " + table);
    Variant rows;
    connection.crearrs(rows);
    auto* recordset = dynamic_cast<Recordset*>(rows.asObject().get());
    return recordset == nullptr ? 0
                                : static_cast<long long>(recordset->Fields("n").Value().toDouble());
  } catch (const Failure&) {
    return std::nullopt;
  }
}

}  // namespace

void MarkAsDemo(HostConnection& connection) {
  // The internos and NCM databases may be one: the second mark joins the first.
  connection.put_sql(std::string("create table if not exists ") + kDemoMarkTable +
                     " (made_by varchar(40))");
  connection.ejecutar();
  connection.put_sql(std::string("insert into ") + kDemoMarkTable +
                     " (made_by) values ('oquardelino demo')");
  connection.ejecutar();
}

void RefuseUnlessDemo(HostConnection& connection, const std::string& what, bool internos) {
  if (Rows(connection, kDemoMarkTable)) return;
  std::string holds;
  const auto add = [&holds](std::optional<long long> count, const char* noun) {
    if (!count || *count == 0) return;  // an empty table loses nothing
    holds += (holds.empty() ? "" : ", ") + std::to_string(*count) + " " + noun;
  };
  if (internos) {
    add(Rows(connection, "caratula"), "cover sheets (caratula)");
    add(Rows(connection, "facturas"), "invoices (facturas)");
    add(Rows(connection, "subitems"), "items (subitems)");
  } else {
    add(Rows(connection, "ncm"), "tariff rows (ncm)");
  }
  if (holds.empty()) return;
  throw std::runtime_error(what +
                           " was not made by 'oquardelino demo': replacing it would destroy " +
                           holds + ". Nothing was changed; use another folder or database.");
}

}  // namespace oq::demo
