#pragma once

#include <memory>
#include <pqxx/result>
#include <string>
#include <vector>

#include "host/recordset.h"
#include "host/variant.h"

namespace oq::postgres {

// The value of one PostgreSQL result field as the component sees it, chosen by the column's type:
// smallint and integer give Long; bigint gives Long when it fits in 32 bits and LongLong
// otherwise; real, double precision and numeric give Double; boolean gives Boolean; NULL gives
// Null; every other type (text, varchar, char, date, timestamp, ...) gives its text form as
// String. Throws Failure 13 when a number's text cannot be read (which PostgreSQL never sends).
Variant ValueOf(const pqxx::field& field);

// A record set over the rows of one PostgreSQL result. The result is a snapshot held in memory,
// so the record set keeps no link to the connection: it stays readable after the connection is
// lost, closed or used for other statements. Field names are the names PostgreSQL reports (it
// folds unquoted names and aliases to lower case); Fields matches them without regard to case,
// the first column of a name winning when several share it. Single-threaded use.
class PostgresRecordset : public Recordset {
 public:
  // Takes the result; positioned on its first row (Eof() when it has none).
  explicit PostgresRecordset(pqxx::result rows);
  ~PostgresRecordset() override;

  Field& Fields(const std::string& name) override;
  bool Eof() const override;
  void MoveFirst() override;
  void MoveNext() override;
  void Close() override;

 private:
  class ColumnField;

  void RequireOpen() const;

  pqxx::result rows_;
  std::vector<std::unique_ptr<ColumnField>> fields_;
  pqxx::result::size_type row_ = 0;
  bool closed_ = false;
};

}  // namespace oq::postgres
