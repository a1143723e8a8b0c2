#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "host/failure.h"
#include "host/host_connection.h"

namespace oq::test {

// Forwards every call to a real connection, except that it fails chosen statements: it throws
// its Failure instead of running the statement, so the database is untouched by it. A statement
// is counted when crearrs or ejecutar runs it (1 = the first). Statements before and after the
// failing ones really run.
class FaultyConnection : public HostConnection {
 public:
  // The failure thrown unless told otherwise: the number drivers report for a database error.
  static Failure DefaultFailure() {
    return Failure(err::kDatabaseError, "injected failure", "FaultyConnection");
  }

  explicit FaultyConnection(std::shared_ptr<HostConnection> inner,
                            Failure failure = DefaultFailure())
      : inner_(std::move(inner)), failure_(std::move(failure)) {}

  // Fails the statement numbered `k` (1-based) only.
  FaultyConnection& failAt(std::size_t k) {
    failAt_ = k;
    return *this;
  }
  // Raises `signal` in this process just before statement `k` runs (the statement then runs):
  // an interruption that arrives at a chosen point of a run.
  FaultyConnection& signalAt(std::size_t k, int signal) {
    signalAt_ = k;
    signal_ = signal;
    return *this;
  }
  // Fails every statement whose text contains `text`.
  FaultyConnection& failEvery(std::string text) {
    failEvery_ = std::move(text);
    return *this;
  }

  void put_sql(const std::string& text) override;
  Variant crearrs(Variant& recordset) override;
  Variant ejecutar() override;

 private:
  void MaybeFail();

  std::shared_ptr<HostConnection> inner_;
  Failure failure_;
  std::optional<std::size_t> failAt_;
  std::optional<std::string> failEvery_;
  std::optional<std::size_t> signalAt_;
  int signal_ = 0;
  std::string sql_;
  std::size_t seen_ = 0;
};

}  // namespace oq::test
