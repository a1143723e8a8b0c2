#include "careful_host/preflight.h"

#include <vector>

#include "connectors/common/sql_scan.h"
#include "engine/sql_text.h"
#include "engine/table_layouts.h"
#include "host/failure.h"
#include "host/recordset.h"

namespace oq::careful {

namespace {

bool Runs(HostConnection& connection, const std::string& sql, std::string* error = nullptr) {
  try {
    connection.put_sql(sql);
    Variant ignored;
    connection.crearrs(ignored);
    return true;
  } catch (const Failure& failure) {
    if (error != nullptr) *error = failure.description();
    return false;
  }
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// One statement when all is well; column by column only to name what is missing.
template <typename Columns>
void CheckTable(HostConnection& connection, const std::string& table, const Columns& columns,
                const std::string& where) {
  std::vector<std::string> names(columns.begin(), columns.end());
  if (Runs(connection, "select " + Joined(names) + " from " + table + " where 1 = 0")) return;
  std::string error;
  if (!Runs(connection, "select * from " + table + " where 1 = 0", &error)) {
    throw PreflightError("the table " + table + " cannot be read in " + where + " (" + error + ")");
  }
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    if (!Runs(connection, "select " + name + " from " + table + " where 1 = 0")) {
      missing.push_back(name);
    }
  }
  throw PreflightError("the table " + table + " in " + where + " lacks the column" +
                       (missing.size() == 1 ? " " : "s ") + Joined(missing));
}

}  // namespace

void CheckInternosTables(HostConnection& internos, const std::string& where) {
  CheckTable(internos, "caratula", layout::kCaratula, where);
  CheckTable(internos, "facturas", layout::kFacturas, where);
  std::vector<std::string_view> items(layout::kSubitems.begin(), layout::kSubitems.end());
  items.push_back("id");
  CheckTable(internos, "subitems", items, where);
}

void CheckNcmTable(HostConnection& ncm, const std::string& where) {
  CheckTable(ncm, "ncm",
             std::vector<std::string_view>{layout::kNcmPosition, layout::kNcmSuffix,
                                           layout::kNcmLicenceMark},
             where);
}

void CheckNcmTable(HostConnection& ncm, const std::string& where, bool inInternos) {
  try {
    CheckNcmTable(ncm, where);
  } catch (const PreflightError& e) {
    if (!inInternos) throw;
    throw PreflightError(std::string(e.what()) +
                         "; ncm is looked up in the --internos database when --ncm is not given: "
                         "name the database that holds ncm with --ncm");
  }
}

void CheckSourceExists(HostConnection& internos, const std::string& source,
                       const std::string& where) {
  internos.put_sql("select interno from caratula where interno = '" + sql::Escape(source) + "'");
  Variant ignored;
  if (!internos.crearrs(ignored).isTrue()) {
    throw PreflightError("the interno " + source + " to copy has no cover sheet in " + where);
  }
}

void CheckDateExpression(HostConnection& internos, const std::string& expression,
                         const std::string& where) {
  const std::string what = "--date-sql '" + expression + "' ";
  // A blank at the end lets an unterminated quote show: it alone runs past the blank.
  const std::string text = expression + " ";
  int depth = 0;
  for (std::size_t i = 0, next; i < expression.size(); i = next) {
    const char c = text[i];
    next = connectors::SkipToken(text, i, connectors::QuotedNames::kAllForms);
    if (next == text.size() && next > i + 1 && c != '-' && c != '/') {
      throw PreflightError(what + "opens a quote it does not close");
    }
    if (next > i + 1 && (c == '-' || c == '/')) {
      throw PreflightError(what + "holds a comment, which would hide the rest of the statement");
    }
    if (c == ';') throw PreflightError(what + "holds a ';': it must be one value, not statements");
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (depth < 0) throw PreflightError(what + "closes a bracket it did not open");
  }
  if (depth != 0) throw PreflightError(what + "opens a bracket it does not close");
  internos.put_sql("select (" + expression + ") as fecha");
  Variant rows;
  std::string error;
  try {
    if (internos.crearrs(rows).isTrue()) {
      auto& recordset = dynamic_cast<Recordset&>(*rows.asObject());
      recordset.MoveFirst();
      recordset.MoveNext();
      if (recordset.Eof()) return;
      error = "it gives more than one row";
    } else {
      error = "it gives no row";
    }
  } catch (const Failure& failure) {
    error = failure.description();
  }
  throw PreflightError(what + "is not one value that " + where + " can evaluate (" + error + ")");
}

void CheckWritable(HostConnection& internos, const std::string& where) {
  const std::vector<std::string> statements = {
      "insert into facturas (interno) select interno from facturas where 1 = 0",
      "insert into caratula (interno) select interno from caratula where 1 = 0",
      "insert into subitems (interno) select interno from subitems where 1 = 0",
      "update caratula set fobdivisas = fobdivisas where 1 = 0",
  };
  for (const std::string& statement : statements) {
    try {
      internos.put_sql(statement);
      internos.ejecutar();
    } catch (const Failure& failure) {
      throw PreflightError("the database " + where +
                           " cannot be written: " + failure.description());
    }
  }
}

}  // namespace oq::careful
