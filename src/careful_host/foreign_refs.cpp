#include "careful_host/foreign_refs.h"

#include <algorithm>
#include <cctype>

#include "careful_host/interno_print.h"
#include "engine/conversions.h"
#include "engine/sql_text.h"
#include "host/recordset.h"

namespace oq::careful {

namespace {

// Every row of `sql` as the texts of `fields`.
std::vector<std::vector<std::string>> Rows(HostConnection& connection, const std::string& sql,
                                           const std::vector<std::string>& fields) {
  connection.put_sql(sql);
  Variant result;
  std::vector<std::vector<std::string>> rows;
  if (!connection.crearrs(result).isTrue()) return rows;
  auto& set = dynamic_cast<Recordset&>(*result.asObject());
  for (; !set.Eof(); set.MoveNext()) {
    std::vector<std::string>& row = rows.emplace_back();
    for (const std::string& field : fields) {
      const Variant value = set.Fields(field).Value();
      row.push_back(value.isNull() ? "" : rt::CStr(value, "."));
    }
  }
  return rows;
}

std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

constexpr const char* kPostgresKeys =
    "select c.oid as id, c.conrelid::regclass::text as child, p.relname as parent, "
    "a.attname as col, b.attname as ref from pg_constraint c "
    "join pg_class p on p.oid = c.confrelid "
    "cross join lateral unnest(c.conkey, c.confkey) with ordinality as k(ca, pa, n) "
    "join pg_attribute a on a.attrelid = c.conrelid and a.attnum = k.ca "
    "join pg_attribute b on b.attrelid = c.confrelid and b.attnum = k.pa "
    "where c.contype = 'f' and p.relname in ('caratula', 'facturas', 'subitems') "
    "and pg_table_is_visible(p.oid) order by c.oid, k.n";

// SQLite leaves the referenced columns empty for a key that refers to the primary key.
constexpr const char* kSqliteKeys =
    "select m.name || '.' || f.id as id, m.name as child, f.\"table\" as parent, "
    "f.\"from\" as col, coalesce(f.\"to\", (select t.name from pragma_table_info(f.\"table\") t "
    "where t.pk = f.seq + 1)) as ref from sqlite_master m join pragma_foreign_key_list(m.name) f "
    "where m.type = 'table' and lower(f.\"table\") in ('caratula', 'facturas', 'subitems') "
    "order by m.name, f.id, f.seq";

}  // namespace

std::vector<ForeignKey> KeysIntoInternos(HostConnection& internos, Dialect dialect) {
  std::vector<ForeignKey> keys;
  std::string last;
  for (auto& row : Rows(internos, dialect == Dialect::kPostgres ? kPostgresKeys : kSqliteKeys,
                        {"id", "child", "parent", "col", "ref"})) {
    if (keys.empty() || row[0] != last) {
      std::ranges::transform(row[2], row[2].begin(),
                             [](unsigned char c) { return std::tolower(c); });
      keys.push_back({row[1], row[2], {}, {}});
    }
    last = row[0];
    keys.back().columns.push_back(row[3]);
    keys.back().referenced.push_back(row[4]);
  }
  return keys;
}

std::optional<std::string> ReferenceInto(HostConnection& internos,
                                         const std::vector<ForeignKey>& keys,
                                         const std::string& number) {
  const std::string interno = "'" + sql::Escape(number) + "'";
  for (const ForeignKey& key : keys) {
    std::string match;
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
      match += " and p." + Quoted(key.referenced[i]) + " = c." + Quoted(key.columns[i]);
    }
    // The interno's own rows that refer to each other go with it.
    const bool own = std::ranges::find(kInternoTables, key.child) != kInternoTables.end();
    const std::string sql = "select 1 as x from " + key.child + " c where exists (select 1 from " +
                            Quoted(key.parent) + " p where p.interno = " + interno + match + ")" +
                            (own ? " and (c.interno is null or c.interno <> " + interno + ")" : "");
    if (!Rows(internos, sql, {"x"}).empty()) {
      return "rows of " + key.child + " refer to its " + key.parent;
    }
  }
  return std::nullopt;
}

}  // namespace oq::careful
