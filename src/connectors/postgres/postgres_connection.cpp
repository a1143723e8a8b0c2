#include "connectors/postgres/postgres_connection.h"

#include <libpq-fe.h>
#include <chrono>
#include <limits>

#include <functional>
#include <pqxx/connection>
#include <pqxx/errorhandler>
#include <pqxx/except>
#include <pqxx/nontransaction>
#include <pqxx/prepared_statement>
#include <thread>

#include "connectors/common/literal_lifting.h"
#include "connectors/postgres/bracket_names.h"
#include "connectors/postgres/postgres_recordset.h"
#include "connectors/postgres/server_messages.h"

namespace oq::postgres {

std::string NumberLockKey(std::string_view number) {
  const std::size_t underscore = number.find_last_of('_');
  if (underscore == std::string_view::npos || underscore + 1 == number.size()) {
    return std::string(number);
  }
  const std::string_view digits = number.substr(underscore + 1);
  if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::string(number);
  return std::string(number.substr(0, underscore));
}

std::string LibraryVersion() {
  // libpq gives major * 10000 + minor from version 10 on.
  const int version = PQlibVersion();
  return std::to_string(version / 10000) + "." + std::to_string(version % 10000);
}

bool IsPostgresUrl(std::string_view text) {
  return text.starts_with("postgresql://") || text.starts_with("postgres://");
}

namespace {

// libpqxx keeps its libpq handle to itself; the policy that opens it also tells it to the session,
// which needs it for what libpqxx does not offer (pipeline mode). The slot to tell it to is armed
// on this thread just before the connection is made, and follows every reconnection.
class HandleTelling : public pqxx::connect_direct {
 public:
  static inline thread_local PGconn** armed = nullptr;
  explicit HandleTelling(const std::string& options)
      : connect_direct(options), slot_(std::exchange(armed, nullptr)) {}
  handle do_startconnect(handle orig) override {
    return Tell(connect_direct::do_startconnect(orig));
  }
  handle do_dropconnect(handle orig) noexcept override {
    return Tell(connect_direct::do_dropconnect(orig));
  }
  handle do_disconnect(handle orig) noexcept override {
    return Tell(connect_direct::do_disconnect(orig));
  }

 private:
  handle Tell(handle h) noexcept {
    if (slot_ != nullptr) *slot_ = h;
    return h;
  }
  PGconn** slot_;
};

const std::string& Armed(PGconn** slot, const std::string& text) {
  HandleTelling::armed = slot;
  return text;
}

}  // namespace

// The libpq session and what must live exactly as long as it. Members are destroyed in reverse
// order, so the notice handler is gone before the connection it is registered with.
struct PostgresConnection::Session {
  explicit Session(const std::string& text) : connection(Armed(&raw, text)), quiet(connection) {
    connection.set_client_encoding("UTF8");
    // Older servers, and databases migrated from them, default to off: a backslash inside '...'
    // then escapes the next character, and a stored "\'" would end a quoted value early.
    pqxx::nontransaction work(connection);
    work.exec_params("SET standard_conforming_strings = on");
    if (work.exec_params("SHOW standard_conforming_strings")[0][0].as<std::string>() != "on") {
      throw std::runtime_error("the server keeps standard_conforming_strings off");
    }
    work.commit();
  }
  PGconn* raw = nullptr;  // libpqxx's own handle, for pipeline mode
  pqxx::basic_connection_base<HandleTelling> connection;
  pqxx::quiet_errorhandler quiet;
};

std::unique_ptr<PostgresConnection::Session> PostgresConnection::OpenSession(
    const std::string& connectionText) {
  try {
    return std::make_unique<Session>(connectionText);
  } catch (const std::exception& e) {
    throw PostgresFailure("Cannot connect to the PostgreSQL server: " + FirstLine(e.what()));
  }
}

PostgresConnection::PostgresConnection(std::string connectionText)
    : connectionText_(std::move(connectionText)), session_(OpenSession(connectionText_)) {
  // Asked once, outside any run: a refused query inside a run's transaction would abort it.
  try {
    identity_ = "postgresql:" + Run("select system_identifier::text || '/' || current_database() "
                                    "from pg_control_system()")[0][0]
                                    .as<std::string>();
  } catch (const Failure&) {
    pqxx::connection_base& c = session_->connection;
    identity_ = std::string("postgresql://") + (c.hostname() ? c.hostname() : "") + ":" +
                (c.port() ? c.port() : "") + "/" + c.dbname();
  }
}

PostgresConnection::~PostgresConnection() = default;

void PostgresConnection::put_sql(const std::string& text) { sql_ = text; }

pg_conn* PostgresConnection::RawHandle() const { return session_ ? session_->raw : nullptr; }

bool PostgresConnection::IsOpen() const { return session_ && session_->connection.is_open(); }

pqxx::result PostgresConnection::Execute() {
  SettleWrites();
  if (!IsOpen()) {
    // A new session would run the rest of a run in autocommit, outside its transaction.
    if (inRun_) throw LostFailure("the run's transaction ended with it");
    DropSession();
    session_ = OpenSession(connectionText_);
  }
  std::string text = TranslateBracketNames(sql_);
  std::vector<std::string> values;
  if (const std::string* shape = Lifted(text, values)) return RunReusing(*shape, &values);
  return RunReusing(text);
}

const std::string* PostgresConnection::Lifted(const std::string& text,
                                              std::vector<std::string>& values) {
  if (!reuse_) return nullptr;
  std::vector<connectors::LiftedLiteral> literals;
  const std::string* shape = lifting_.Lift(text, literals);
  if (shape == nullptr) return nullptr;  // the text goes as written, with no values
  for (connectors::LiftedLiteral& literal : literals) values.push_back(std::move(literal.text));
  return shape;
}

void PostgresConnection::DropSession() {
  session_.reset();
  sent_.clear();
  prepared_.clear();
  pipelinePrepared_.clear();
  pipelineNames_ = 0;
  seen_.clear();
}

void PostgresConnection::SetReusePrepared(bool on) { reuse_ = on; }

bool PostgresConnection::CameBefore(const std::string& statement) {
  // Only the hash of a text run once is remembered: most texts never come again. A collision
  // only prepares a text that did not need it.
  if (seen_.size() > 100000) seen_.clear();
  return !seen_.insert(std::hash<std::string>{}(statement)).second &&
         prepared_.size() + pipelinePrepared_.size() < kPreparedTexts;
}

pqxx::result PostgresConnection::RunReusing(const std::string& statement,
                                            const std::vector<std::string>* values) {
  if (!reuse_) return Run(statement, nullptr, values);
  if (const auto found = prepared_.find(statement); found != prepared_.end()) {
    return Run(statement, &found->second, values);
  }
  if (!CameBefore(statement)) return Run(statement, nullptr, values);
  const std::string name = "oq_" + std::to_string(prepared_.size() + 1);
  // libpqxx prepares it on the server when it first runs, and again on a new session.
  session_->connection.prepare(name, statement);
  return Run(statement, &prepared_.emplace(statement, name).first->second, values);
}

pqxx::result PostgresConnection::Run(const std::string& statement, const std::string* preparedName,
                                     const std::vector<std::string>* values) {
  static const std::vector<std::string> kNone;
  const auto parameters = pqxx::prepare::make_dynamic_params(values != nullptr ? *values : kNone);
  try {
    // A nontransaction sends the statement as it is: in autocommit, or inside the transaction
    // that BeginRun opened on the session.
    pqxx::nontransaction work(session_->connection);
    // The extended protocol runs exactly one statement: a second one in the text is an error.
    pqxx::result rows = preparedName != nullptr ? work.exec_prepared(*preparedName, parameters)
                                                : work.exec_params(statement, parameters);
    work.commit();
    return rows;
  } catch (const pqxx::broken_connection& e) {
    DropSession();
    throw LostFailure(FirstLine(e.what()));
  } catch (const pqxx::sql_error& e) {
    // A session ended by the server (an administrator's termination, a shutdown) arrives as an
    // error of the statement that was running; the session is unusable afterwards all the same.
    if (!session_->connection.is_open()) {
      DropSession();
      throw LostFailure(ServerMessage(e.what()));
    }
    throw PostgresFailure(ServerMessage(e.what()));
  } catch (const std::exception& e) {
    if (session_ && !session_->connection.is_open()) DropSession();
    throw PostgresFailure(FirstLine(e.what()));
  }
}

void PostgresConnection::BeginRun() {
  SettleWrites();
  if (!IsOpen()) {
    DropSession();
    session_ = OpenSession(connectionText_);
  }
  // Read committed whatever the default: a run that waited for a number's lock must see what the
  // run it waited for committed.
  Run("BEGIN ISOLATION LEVEL READ COMMITTED");
  lockedKeys_.clear();
  inRun_ = true;
}

void PostgresConnection::CommitRun() {
  if (!IsOpen()) {
    inRun_ = false;
    throw LostFailure("the run's transaction ended with it");
  }
  // The server answers COMMIT of an aborted transaction with a rollback, not with an error; a
  // statement sent first finds the transaction aborted and says so.
  try {
    SettleWrites();
    Run("select 1");
  } catch (const Failure&) {
    RollbackRun();
    throw;
  }
  inRun_ = false;
  lockedKeys_.clear();
  Run("COMMIT");
}

void PostgresConnection::RollbackRun() noexcept {
  inRun_ = false;
  lockedKeys_.clear();
  if (!IsOpen()) return;
  try {
    // What is still in flight fails with the transaction; only the session's state matters.
    while (!sent_.empty()) ReadBatch([](std::size_t, pg_result*) {});
    LeavePipeline();
    Run("ROLLBACK");
  } catch (const Failure&) {
    // The session is gone, and the server has discarded the transaction with it.
  }
}

void PostgresConnection::LockNumber(const std::string& number) {
  SettleWrites();
  if (!IsOpen()) throw LostFailure("the run's transaction ended with it");
  const std::string key = NumberLockKey(number);
  if (lockedKeys_.contains(key)) return;
  // A lock another run holds is polled for a second before the wait is announced.
  bool taken = TakeLock(key, false);
  for (const auto announce = std::chrono::steady_clock::now() + std::chrono::seconds(1);
       !taken && std::chrono::steady_clock::now() < announce;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    taken = TakeLock(key, false);
  }
  if (!taken) {
    if (waitNotice_) waitNotice_("waiting for another copy to the number " + key + " to end");
    TakeLock(key, true);
  }
  lockedKeys_.insert(key);
}

bool PostgresConnection::TakeLock(const std::string& key, bool wait) {
  // One key space of our own (the first key), the key's hash as the second.
  const std::string keys = "(1867, hashtext(" + session_->connection.quote(key) + "))";
  if (wait) {
    Run("select pg_advisory_xact_lock" + keys);
    return true;
  }
  return Run("select pg_try_advisory_xact_lock" + keys + "::text")[0][0].as<std::string>() ==
         "true";
}

std::string PostgresConnection::DatabaseIdentity() { return identity_; }

void PostgresConnection::SetWaitNotice(std::function<void(const std::string&)> notice) {
  waitNotice_ = std::move(notice);
}

Variant PostgresConnection::crearrs(Variant& recordset) {
  auto rows = MakeRecordset(Execute());
  const bool hasRows = !rows->Eof();
  recordset = Variant::Object(std::move(rows));
  return Variant::Boolean(hasRows);
}

Variant PostgresConnection::ejecutar() {
  const pqxx::result result = Execute();
  const pqxx::result::size_type count = result.affected_rows();
  if (count > static_cast<pqxx::result::size_type>(std::numeric_limits<std::int32_t>::max())) {
    return Variant::LongLong(static_cast<std::int64_t>(count));
  }
  return Variant::Long(static_cast<std::int32_t>(count));
}

}  // namespace oq::postgres
