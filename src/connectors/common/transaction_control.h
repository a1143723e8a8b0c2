#pragma once

#include <functional>
#include <string>

namespace oq::connectors {

// What a careful host needs of a connection to make a copy run all-or-nothing: one transaction
// around the run's statements, and a lock that lets only one run create a given interno number.
// The component never calls it; a host calls it around the component's statements. The SQLite and
// PostgreSQL connections implement it next to HostConnection.
class TransactionControl {
 public:
  TransactionControl() = default;
  TransactionControl(const TransactionControl&) = delete;
  TransactionControl& operator=(const TransactionControl&) = delete;
  virtual ~TransactionControl() = default;

  // Opens a transaction: the statements sent through the connection until CommitRun or
  // RollbackRun belong to it. Throws Failure when the database refuses (for instance another
  // writer holds its lock beyond the busy timeout); no transaction is open then.
  virtual void BeginRun() = 0;

  // Makes everything since BeginRun permanent. Throws Failure when the database refuses or the
  // transaction had already failed; nothing of the run stays then.
  virtual void CommitRun() = 0;

  // Undoes everything since BeginRun. Never throws; does nothing when no transaction is open
  // (a lost connection has already taken its transaction with it).
  virtual void RollbackRun() noexcept = 0;

  // Inside a transaction: waits until no other run holds `number`, then holds it until this
  // transaction ends, so that two runs creating the same interno number take turns and the
  // second sees the first one's cover sheet. Throws Failure when the database refuses. How many
  // numbers a run locks does not change what the database must hold for it: a run of thousands
  // of numbered copies fits in a server's default lock table.
  virtual void LockNumber(const std::string& number) = 0;

  // A name of the database that does not depend on how it was reached: the same for every URL
  // that names it (a relative or absolute path, a host name or an address). Throws Failure when
  // the database cannot tell.
  virtual std::string DatabaseIdentity() = 0;

  // `notice` is called, with a sentence that says what is awaited, when a statement or a lock
  // has waited a second for another program; once per wait. Null: waits are silent.
  virtual void SetWaitNotice(std::function<void(const std::string& what)> notice) = 0;
};

}  // namespace oq::connectors
