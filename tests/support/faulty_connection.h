#pragma once

#include <signal.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/failure.h"
#include "host/host_connection.h"

namespace oq::test {

// Forwards every call to a real connection and records the text of each statement run, except
// that it fails chosen statements: it throws its Failure instead, leaving the database untouched.
// A statement counts when crearrs or ejecutar runs it (1 = the first).
class FaultyConnection : public HostConnection {
 public:
  explicit FaultyConnection(std::shared_ptr<HostConnection> inner,
                            Failure failure = Failure(err::kDatabaseError, "injected failure",
                                                      "FaultyConnection"))
      : inner_(std::move(inner)), failure_(std::move(failure)) {}

  // Fails statement `k` only.
  FaultyConnection& failAt(std::size_t k) {
    failAt_ = k;
    return *this;
  }
  // Raises `signal` in this process just before statement `k` runs (the statement then runs).
  FaultyConnection& signalAt(std::size_t k, int signal) {
    signalAt_ = k;
    signal_ = signal;
    return *this;
  }
  // Answers every crearrs with `answer` instead of the connection's own answer.
  FaultyConnection& answer(Variant answer) {
    answer_ = std::move(answer);
    return *this;
  }
  // The statements run (or failed), in order.
  const std::vector<std::string>& statements() const { return statements_; }

  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& recordset) override {
    MaybeFail();
    Variant answered = inner_->crearrs(recordset);
    return answer_ ? *answer_ : answered;
  }
  Variant ejecutar() override {
    MaybeFail();
    return inner_->ejecutar();
  }

 private:
  void MaybeFail() {
    statements_.push_back(sql_);
    if (signalAt_ == statements_.size()) ::raise(signal_);
    if (failAt_ == statements_.size()) throw failure_;
  }

  std::shared_ptr<HostConnection> inner_;
  Failure failure_;
  std::optional<std::size_t> failAt_;
  std::optional<std::size_t> signalAt_;
  std::optional<Variant> answer_;
  int signal_ = 0;
  std::string sql_;
  std::vector<std::string> statements_;
};

}  // namespace oq::test
