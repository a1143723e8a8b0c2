#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host_connection.h"

namespace oq::test {

// One statement as a copy procedure sent it: its text and the call that ran it.
struct SentStatement {
  enum class Call { kCrearrs, kEjecutar };
  std::string sql;
  Call call = Call::kEjecutar;
};

// Forwards every call to a real connection and records each statement it ran. The wrapped
// connection is shared; failures of it pass through unchanged (and are recorded all the same).
class RecordingConnection : public HostConnection {
 public:
  explicit RecordingConnection(std::shared_ptr<HostConnection> inner) : inner_(std::move(inner)) {}

  void put_sql(const std::string& text) override;
  Variant crearrs(Variant& recordset) override;
  Variant ejecutar() override;

  const std::vector<SentStatement>& statements() const { return statements_; }
  // The texts of the statements run through `call`, in order.
  std::vector<std::string> texts(SentStatement::Call call) const;

 private:
  std::shared_ptr<HostConnection> inner_;
  std::string sql_;
  std::vector<SentStatement> statements_;
};

}  // namespace oq::test
