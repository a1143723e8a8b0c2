#pragma once

#include <stdexcept>
#include <string>

#include "host/host_connection.h"

namespace oq::careful {

// A check before a copy found something that would make the run fail or write the wrong thing.
// The message says exactly what, and where.
class PreflightError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The checks the program makes before a copy run writes anything, each through the connection's
// own statements, so they hold on every engine. Each throws PreflightError; `where` names the
// database in the message (its URL).

// caratula, facturas and subitems exist with every column the copies read or write.
void CheckInternosTables(HostConnection& internos, const std::string& where);
// ncm exists with the tariff position, suffix and licence mark that filtered copies look up.
void CheckNcmTable(HostConnection& ncm, const std::string& where);
// The same, and when `inInternos` (ncm is looked up in the database of internos, as when --ncm
// was left out) the message says where to name another one.
void CheckNcmTable(HostConnection& ncm, const std::string& where, bool inInternos);
// A cover sheet with the number `source` exists.
void CheckSourceExists(HostConnection& internos, const std::string& source,
                       const std::string& where);
// `expression` (--date-sql) is one SQL value expression the database evaluates on its own: no
// second statement, no comment that would hide the rest of a statement, brackets that close, and
// exactly one row of one value. It is written unquoted into the cover-sheet statements, so
// anything else would change what they do. Sends one query.
void CheckDateExpression(HostConnection& internos, const std::string& expression,
                         const std::string& where);
// The three tables accept inserts and caratula updates (permissions, a read-only file or
// server). Writes nothing.
void CheckWritable(HostConnection& internos, const std::string& where);

}  // namespace oq::careful
