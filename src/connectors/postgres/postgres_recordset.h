#pragma once

#include <memory>
#include <pqxx/result>
#include <string>
#include <string_view>

#include "connectors/common/snapshot_recordset.h"
#include "host/variant.h"

namespace oq::postgres {

// The value of one PostgreSQL result field as the component sees it, chosen by the column's type:
// smallint and integer give Long; bigint gives Long when it fits in 32 bits and LongLong
// otherwise; real, double precision and numeric give Double; boolean gives Boolean; NULL gives
// Null; every other type (text, varchar, char, date, timestamp, ...) gives its text form as
// String. Throws Failure 13 when a number's text cannot be read (which PostgreSQL never sends).
Variant ValueOf(const pqxx::field& field);
// The same for a value given by its column's type identifier and its text.
Variant ValueOf(unsigned typeOid, std::string_view text, bool isNull);

// A snapshot record set over the rows of one PostgreSQL result, source "PostgreSQL", values as
// ValueOf gives them. It keeps no link to the connection: it stays readable after the connection
// is lost, closed or used for other statements. Field names are the names PostgreSQL reports (it
// folds unquoted names and aliases to lower case).
std::shared_ptr<connectors::SnapshotRecordset> MakeRecordset(pqxx::result rows);

}  // namespace oq::postgres
