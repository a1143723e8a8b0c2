// A filtered copy (con LAPI) of 10,000 items through the COM path, cMAIN calling the host's
// connection objects by name, against the same statements sent straight to the connections.
//   com_bench FOLDER   prints one line of times; exits 1 when the copy did not come out whole
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "host/failure.h"
#include "session.h"

namespace oq::wintest {
namespace {

// The clock and the processor time this thread has used, in seconds: the processor time, unlike
// the clock, does not count what other programs on the machine take.
struct Times {
  double clock = 0, processor = 0;
  static Times Now() {
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
      return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                 t.dwLowDateTime) /
             1e7;
    };
    const auto clock = std::chrono::steady_clock::now().time_since_epoch();
    return {std::chrono::duration<double>(clock).count(), seconds(kernel) + seconds(user)};
  }
  Times operator-(const Times& start) const {
    return {clock - start.clock, processor - start.processor};
  }
};

// Each statement a connection ran and how (crearrs or ejecutar), for the replay; and the times at
// the first statement and after the last one, the update of the new cover sheet's FOB. Reading the
// clocks is a system call: reading them after every statement would weigh on the COM side alone.
struct StatementLog {
  struct Entry {
    const HostConnection* connection;
    std::string sql;
    bool query;
  };
  std::vector<Entry> entries;
  Times first, last;
};

class LoggingConnection : public HostConnection {
 public:
  LoggingConnection(std::shared_ptr<HostConnection> inner, StatementLog& log)
      : inner_(std::move(inner)), log_(log) {}
  void put_sql(const std::string& text) override {
    if (log_.entries.empty()) log_.first = Times::Now();
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& rows) override {
    const Variant found = inner_->crearrs(rows);
    Logged(true);
    return found;
  }
  Variant ejecutar() override {
    const Variant changed = inner_->ejecutar();
    Logged(false);
    return changed;
  }

 private:
  void Logged(bool query) {
    log_.entries.push_back({inner_.get(), sql_, query});
    if (sql_.starts_with("update caratula set fobdivisas")) log_.last = Times::Now();
  }
  std::shared_ptr<HostConnection> inner_;
  StatementLog& log_;
  std::string sql_;
};

int Bench(const std::filesystem::path& folder) {
  StatementLog log;
  Session session(folder, [&log](std::shared_ptr<HostConnection> db) {
    return std::make_shared<LoggingConnection>(std::move(db), log);
  });
  HostConnection& db = *session.internos;
  // The demo interno's 25 items, 400 times over, under a number of its own.
  const char* const setup[] = {
      "create temp table c as select * from caratula where interno = '2024-0101'",
      "update c set interno = 'BENCH'",
      "insert into caratula select * from c",
      "create temp table s as select * from subitems where interno = '2024-0101'",
      "update s set interno = 'BENCH', id = null",
      "insert into subitems select s.* from s, (with recursive n(i) as (select 1 union all "
      "select i + 1 from n where i < 400) select i from n)",
  };
  for (const char* statement : setup) {
    db.put_sql(statement);
    db.ejecutar();
  }
  const std::filesystem::path replayFile = folder / "replay.db";
  db.put_sql("vacuum into '" + replayFile.string() + "'");
  db.ejecutar();
  session.Call("Numero_Interno", Variant::String("BENCH"), true);
  const Showing shown =
      Show(session.main, {"key Tab Tab Home shift+End", "type B-CON", "key Tab Down F11"}, 600);
  const Times viaCom = log.last - log.first;

  auto replay = sqlite::SqliteConnection::Open(replayFile.string());
  const Times start = Times::Now();
  for (const StatementLog::Entry& entry : log.entries) {
    HostConnection& target = entry.connection == session.ncm.get() ? *session.ncm : *replay;
    target.put_sql(entry.sql);
    if (entry.query) {
      Variant rows;
      target.crearrs(rows);
    } else {
      target.ejecutar();
    }
  }
  const Times direct = Times::Now() - start;
  const Variant items =
      session.Scalar("select count(*) as v from subitems where interno = 'B-CON'");
  if (shown.boxes.empty() || shown.boxes[0].text != "Fin del Proceso" || items.toInt64() != 4000) {
    std::printf("bench: the copy did not end with Fin del Proceso and 4,000 items (got %lld)\n",
                static_cast<long long>(items.toInt64()));
    return 1;
  }
  std::printf(
      "bench: filtered copy (con LAPI) of 10000 items through COM against the same %zu statements "
      "straight to the connections: clock %.2f s / %.2f s, ratio %.2f x; processor %.2f s / "
      "%.2f s, ratio %.2f x\n",
      log.entries.size(), viaCom.clock, direct.clock, viaCom.clock / direct.clock, viaCom.processor,
      direct.processor, viaCom.processor / direct.processor);
  return 0;
}

}  // namespace
}  // namespace oq::wintest

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: com_bench FOLDER\n");
    return 2;
  }
  ::CoInitialize(nullptr);
  int status = 1;
  try {
    status = oq::wintest::Bench(argv[1]);
  } catch (const oq::Failure& failure) {
    std::printf("bench: failure %d: %s\n", static_cast<int>(failure.number()),
                failure.description().c_str());
  } catch (const std::exception& error) {
    std::printf("bench: %s\n", error.what());
  }
  ::CoUninitialize();
  return status;
}
