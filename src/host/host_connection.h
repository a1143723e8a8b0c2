#pragma once

#include <string>

#include "host/object.h"
#include "host/variant.h"

namespace oq {

// A host's connection object: the only way the component reaches a database. For every statement
// the caller sets `sql` and then calls exactly one of crearrs or ejecutar on the same object.
// A connection is used from one thread at a time.
class HostConnection : public Object {
 public:
  // Sets the text of the next statement. It is never read back.
  virtual void put_sql(const std::string& text) = 0;

  // Runs the statement set through put_sql as a query and leaves its open record set in
  // `recordset` (replacing whatever the variable held, which is released). Returns Boolean true
  // (-1) exactly when the result has at least one row, Boolean false otherwise; a host may also
  // answer Null, which callers count as false. The record set is a snapshot of the result as the
  // statement ran. Throws Failure with the database's message when the statement is refused.
  virtual Variant crearrs(Variant& recordset) = 0;

  // Runs the statement set through put_sql and returns the number of rows it changed (a Long).
  // Throws Failure with the database's message when the statement is refused.
  virtual Variant ejecutar() = 0;
};

}  // namespace oq
