#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "connectors/common/round_trips.h"
#include "connectors/common/snapshot_recordset.h"
#include "host/host_connection.h"
#include "host/variant.h"

// What a RunGuard spares a run of round trips to the database, without changing a statement of
// the component or a row it writes. Internal to the guard.
namespace oq::careful::guard {

// The savings of the run in progress:
// - the answers of the tariff lookups made in the run, by their text: a lookup sent again is
//   answered from here (the run's transaction reads committed ncm rows, and the run itself writes
//   none; a write to ncm through either connection forgets them all);
// - the item inserts of a filtered copy, held and sent together (RoundTrips::SendWrites) when
//   kBatch are held, the server running them while the copy builds the next ones; all are
//   answered when the run's items are all gone through, and before any other statement, box or
//   commit. The component never reads their counts; each is answered with the count of a
//   one-row insert, 1. A refused one surfaces where the run stands, with its own failure, and the
//   run's transaction is then lost whatever comes after, as when it is refused on its own.
class RunSavings {
 public:
  // Small batches, so that the server starts on the first inserts early and is left with few
  // after the last item; up to kMaxBatch of them are on their way at once.
  static constexpr std::size_t kBatch = 100;

  // At the start of a run: `writes` is the internos connection's, null when its inserts are to
  // be sent one by one; `lookups` whether lookups are remembered.
  void Start(connectors::RoundTrips* writes, bool lookups);
  // The NCM database's own connection (not the internos one), for Prefetch; null: none. With
  // `holdReads` (a database other than the internos one) its reads are held together for the
  // length of each run (RoundTrips::HoldReads).
  void UseForLookups(connectors::RoundTrips* ncm, bool holdReads) {
    ncm_ = ncm;
    holdReads_ = holdReads;
  }

  // Asks the NCM database ahead, where its connection pipelines, the lookups a filtered copy is
  // about to make (RoundTrips::AskAhead), so that each is answered from here when the copy makes
  // it; the answers are read as the copy comes to them, while the server answers the next ones.
  // A lookup not answered (or a guess that is not what the copy then sends) is left to the copy.
  void Prefetch(const std::vector<std::string>& lookups);
  // Reads the answers asked ahead up to the one to `upTo` (all of them when empty, none when it
  // was not asked ahead) into the run's answers.
  void ReadAhead(const std::string& upTo = {});
  // Whether Prefetch asks anything: not where the NCM connection would ask one by one anyway.
  bool Prefetches() const { return lookups_ && ncm_ != nullptr && ncm_->Pipelines(); }
  // At its end: forgets the answers and drops what is still held (a run that did not end well).
  void Stop();

  // A copy of the answer to `sql`, if the run has it or asked it ahead.
  std::optional<Variant> Answer(const std::string& sql);
  // Remembers `answer` (a record set crearrs left) to `sql`, when it is a tariff lookup's.
  void Remember(const std::string& sql, const Variant& answer);
  // Called with every writing statement: one to ncm forgets the answers.
  void Written(const std::string& sql);

  // Whether `sql` is held rather than sent now.
  bool Holds(const std::string& sql) const;
  // Holds `sql`; true when kBatch are held and they are to be sent now.
  bool Hold(std::string sql);
  // Whether inserts are held, or sent and not all answered.
  bool holding() const { return !held_.empty() || inFlight_; }
  // Sends what is held, and gives back the one refused if any among the answers read. With
  // `finish`, every insert sent is answered before it returns; without, the last batch may still
  // be running on the server (RoundTrips::SendWrites) while the copy goes on.
  std::optional<connectors::Refused> SendHeld(bool finish);

 private:
  // What every answer of one shape shares: the record set's options and column names.
  struct Shape {
    connectors::SnapshotRecordset::Options options;
    std::vector<std::string> names;
  };
  // One answer, kept small: a run may remember one per item. Its rows stay in the form the
  // connection read them in, shared with the record sets made from them.
  struct Answer_ {
    std::shared_ptr<const Shape> shape;
    std::size_t rowCount;
    connectors::SnapshotRecordset::CellReader read;
  };
  connectors::RoundTrips* writes_ = nullptr;
  connectors::RoundTrips* ncm_ = nullptr;
  bool lookups_ = false;
  bool holdReads_ = false;
  std::optional<connectors::HeldReads> heldReads_;
  std::unordered_map<std::string, Answer_> answers_;
  std::shared_ptr<const Shape> lastShape_;
  // Forgets the lookups asked ahead, and the connection drops their answers.
  void ForgetAhead();

  std::vector<std::string> held_;
  std::vector<std::string> ahead_;                                // asked ahead, in order
  std::unordered_map<std::string_view, std::size_t> aheadIndex_;  // into ahead_
  std::size_t aheadRead_ = 0;                                     // answers read of ahead_
  bool inFlight_ = false;  // SendWrites sent inserts that FinishWrites has not answered
};

// The NCM database's connection of a guarded run, when it is not the internos one: its lookups
// are answered from the run's savings when they can be.
class RememberingConnection : public HostConnection {
 public:
  RememberingConnection(std::shared_ptr<HostConnection> inner, RunSavings& savings)
      : inner_(std::move(inner)), savings_(savings) {}

  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& recordset) override;
  Variant ejecutar() override {
    savings_.Written(sql_);
    return inner_->ejecutar();
  }

 private:
  std::shared_ptr<HostConnection> inner_;
  RunSavings& savings_;
  std::string sql_;
};

// The tariff lookups the filtered copy whose items query is `itemsQuery` makes for `items` (left
// on its first row), as it writes them with the session's data-access manager and `separator`;
// empty for any other query.
std::vector<std::string> ItemLookups(const std::string& itemsQuery, Recordset& items,
                                     const std::string& separator);

// Answers `sql` from `savings` into `recordset` (true when it could), or runs it on `inner` and
// remembers the answer. Returns crearrs' result.
Variant LookUp(HostConnection& inner, RunSavings& savings, const std::string& sql,
               Variant& recordset);

}  // namespace oq::careful::guard
