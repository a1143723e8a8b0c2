#include "recording_connection.h"

namespace oq::test {

void RecordingConnection::put_sql(const std::string& text) {
  sql_ = text;
  inner_->put_sql(text);
}

Variant RecordingConnection::crearrs(Variant& recordset) {
  statements_.push_back({sql_, SentStatement::Call::kCrearrs});
  return inner_->crearrs(recordset);
}

Variant RecordingConnection::ejecutar() {
  statements_.push_back({sql_, SentStatement::Call::kEjecutar});
  return inner_->ejecutar();
}

std::vector<std::string> RecordingConnection::texts(SentStatement::Call call) const {
  std::vector<std::string> out;
  for (const SentStatement& statement : statements_) {
    if (statement.call == call) out.push_back(statement.sql);
  }
  return out;
}

}  // namespace oq::test
