#include "postgres_target.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <pqxx/pqxx>
#include <stdexcept>

#include "bench_db.h"
#include "connectors/postgres/bracket_names.h"
#include "connectors/postgres/postgres_connection.h"
#include "demo/demo_schema.h"
#include "demo/demo_sql.h"
#include "pipelined_replay.h"

namespace oq::bench {

namespace {

constexpr const char* kInternosDb = "oq_bench_internos";
constexpr const char* kNcmDb = "oq_bench_ncm";
constexpr int kRowsPerInsert = 500;

std::string ConnectionText(const char* database) { return std::string("dbname=") + database; }

// CREATE DATABASE and VACUUM refuse to run inside a transaction block.
void Direct(pqxx::connection& connection, const std::string& sql) {
  pqxx::nontransaction work(connection);
  work.exec(sql);
  work.commit();
}

// The value of column `c` of the current row as a PostgreSQL literal. Numbers keep every digit
// SQLite holds; the column's declared scale then rounds them as it would any host's value.
std::string Literal(sqlite3_stmt* row, int c) {
  switch (sqlite3_column_type(row, c)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(row, c));
    case SQLITE_FLOAT: {
      char text[40];
      std::snprintf(text, sizeof text, "%.17g", sqlite3_column_double(row, c));
      return text;
    }
    default:
      return demo::TextLiteral(reinterpret_cast<const char*>(sqlite3_column_text(row, c)));
  }
}

// Copies every row of `table` from the SQLite file in rowid order, all columns but `id`, which
// PostgreSQL numbers anew in the same order (an explicit id would leave its sequence behind).
void CopyTable(const std::filesystem::path& from, const std::string& table, pqxx::connection& to) {
  RawDb source(from, SqliteSettings{"", ""});
  sqlite3_stmt* raw = nullptr;
  const std::string select = "select * from " + table + " order by rowid";
  if (sqlite3_prepare_v2(source.handle(), select.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    throw std::runtime_error("read " + table + ": " + sqlite3_errmsg(source.handle()));
  }
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> row(raw, &sqlite3_finalize);
  std::vector<int> copied;
  std::string columns;
  for (int c = 0; c < sqlite3_column_count(raw); ++c) {
    std::string name = sqlite3_column_name(raw, c);
    if (name == "id") continue;
    // The schema leaves most names unquoted, which PostgreSQL folds to lower case.
    for (char& letter : name)
      letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    columns += (copied.empty() ? "" : ",") + demo::QuotedName(name, Dialect::kPostgres);
    copied.push_back(c);
  }
  const std::string insert = "insert into " + table + " (" + columns + ") values ";
  pqxx::work work(to);
  std::string values;
  int pending = 0;
  auto flush = [&] {
    if (pending > 0) work.exec(insert + values);
    values.clear();
    pending = 0;
  };
  while (sqlite3_step(raw) == SQLITE_ROW) {
    values += pending ? ",(" : "(";
    for (std::size_t i = 0; i < copied.size(); ++i) {
      values += (i ? "," : "") + Literal(raw, copied[i]);
    }
    values += ')';
    if (++pending == kRowsPerInsert) flush();
  }
  flush();
  work.commit();
}

void CreateTables(pqxx::connection& connection, const std::vector<std::string>& statements) {
  pqxx::work work(connection);
  for (const std::string& statement : statements) work.exec(statement);
  work.commit();
}

}  // namespace

struct PostgresTarget::Servers {
  pqxx::connection internos{ConnectionText(kInternosDb)};
  pqxx::connection ncm{ConnectionText(kNcmDb)};
};

bool PostgresTarget::Reachable(std::string& why) {
  try {
    pqxx::connection probe("");
    return true;
  } catch (const std::exception& failure) {
    why = failure.what();
    while (!why.empty() && why.back() == '\n') why.pop_back();
    return false;
  }
}

PostgresTarget::PostgresTarget(const Workspace& space) : space_(space) {
  try {
    pqxx::connection server("");
    for (const char* database : {kInternosDb, kNcmDb}) {
      Direct(server, std::string("drop database if exists ") + database + " with (force)");
      Direct(server, std::string("create database ") + database);
    }
    servers_ = std::make_unique<Servers>();
    CreateTables(servers_->ncm, demo::NcmSchemaStatements(Dialect::kPostgres));
    CopyTable(space_.Ncm(), "ncm", servers_->ncm);
    Direct(servers_->ncm, "vacuum analyze");
  } catch (const pqxx::failure& failure) {
    throw std::runtime_error(std::string("PostgreSQL: ") + failure.what());
  }
}

PostgresTarget::~PostgresTarget() {
  servers_.reset();
  try {
    pqxx::connection server("");
    for (const char* database : {kInternosDb, kNcmDb}) {
      Direct(server, std::string("drop database if exists ") + database + " with (force)");
    }
  } catch (const std::exception& failure) {
    std::cerr << "oq_bench: the PostgreSQL databases stay: " << failure.what() << "\n";
  }
}

void PostgresTarget::Reset(int n) {
  pqxx::connection& internos = servers_->internos;
  if (loaded_ != n) {
    Direct(internos, "drop table if exists caratula, facturas, subitems");
    CreateTables(internos, demo::InternosSchemaStatements(Dialect::kPostgres));
    for (const char* table : {"caratula", "facturas", "subitems"}) {
      CopyTable(space_.Internos(n), table, internos);
    }
    loaded_ = n;
  } else {
    pqxx::work work(internos);
    for (const char* table : {"subitems", "facturas", "caratula"}) {
      work.exec(std::string("delete from ") + table + " where interno <> " +
                work.quote(kSourceInterno));
    }
    work.commit();
  }
  // The rows earlier repetitions wrote are gone from the tables and their indexes, and the
  // planner sees the template's counts.
  Direct(internos, "vacuum analyze caratula, facturas, subitems");
}

RunConnections PostgresTarget::Open() {
  const std::string route =
      port_ == 0 ? std::string() : " host=127.0.0.1 port=" + std::to_string(port_);
  auto internos =
      std::make_shared<postgres::PostgresConnection>(ConnectionText(kInternosDb) + route);
  auto ncm = std::make_shared<postgres::PostgresConnection>(ConnectionText(kNcmDb) + route);
  return {internos, ncm, internos.get(), Dialect::kPostgres};
}

StatementLog PostgresTarget::AsReceived(const StatementLog& log) const {
  StatementLog translated = log;
  for (SentStatement& statement : translated) {
    statement.sql = postgres::TranslateBracketNames(statement.sql);
  }
  return translated;
}

Sample PostgresTarget::Replay(const StatementLog& log, Mode mode) {
  pqxx::connection internos(ConnectionText(kInternosDb));
  pqxx::connection ncm(ConnectionText(kNcmDb));
  pqxx::nontransaction toInternos(internos);
  pqxx::nontransaction toNcm(ncm);
  // The sink keeps the reads from being optimised away.
  volatile std::size_t sink = 0;
  Stopwatch clock;
  if (mode == Mode::kTransaction) toInternos.exec("begin");
  for (const SentStatement& statement : log) {
    pqxx::nontransaction& work =
        statement.target == SentStatement::Target::kInternos ? toInternos : toNcm;
    const pqxx::result rows = work.exec(statement.sql);
    if (statement.kind != SentStatement::Kind::kQuery) continue;
    for (const pqxx::row& row : rows) {
      for (const pqxx::field& field : row) sink = sink + field.size() + (field.c_str() != nullptr);
    }
  }
  if (mode == Mode::kTransaction) toInternos.exec("commit");
  return clock.Elapsed();
}

Sample PostgresTarget::ReplayPrepared(const StatementLog& log, Mode mode) {
  return PipelinedReplay(ConnectionText(kInternosDb), ConnectionText(kNcmDb), log, mode);
}

CopiedItems PostgresTarget::ItemsOf(const std::string& interno) {
  pqxx::nontransaction work(servers_->internos);
  const pqxx::result row =
      work.exec("select count(*), coalesce(sum(fob), 0) from subitems where interno = " +
                work.quote(interno));
  return {row[0][0].as<long long>(), row[0][1].as<double>()};
}

}  // namespace oq::bench
