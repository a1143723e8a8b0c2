#pragma once

#include <string>

#include "host/object.h"
#include "host/variant.h"

namespace oq {

// One column of a record set's current row.
class Field : public Object {
 public:
  // The column name or alias as the statement gave it.
  virtual const std::string& Name() const = 0;
  // The value in the current row. Throws Failure 3021 when the record set has no current row
  // (at end of file) and 3704 when it is closed.
  virtual Variant Value() const = 0;
};

// The record set a host connection's crearrs leaves behind: a forward cursor over the rows of one
// query, read only. Field names are matched without regard to case.
class Recordset : public Object {
 public:
  // The field of the current row whose name or alias is `name` (case-insensitive). The Field stays
  // valid while the record set lives and always reads the current row. Throws Failure 3265 for an
  // unknown name and 3704 when closed.
  virtual Field& Fields(const std::string& name) = 0;
  // True when there is no current row: the result was empty or MoveNext went past the last row.
  // (The name Eof stands for the record set's EOF property; EOF itself is a C macro.)
  virtual bool Eof() const = 0;
  // Back to the first row; on an empty result this leaves Eof() true. Throws 3704 when closed.
  virtual void MoveFirst() = 0;
  // To the next row. Throws 3021 when already at end of file, 3704 when closed.
  virtual void MoveNext() = 0;
  // Releases the rows; every later call but Close throws 3704.
  virtual void Close() = 0;
};

}  // namespace oq
