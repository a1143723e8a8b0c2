#include "faulty_connection.h"

#include <signal.h>

namespace oq::test {

void FaultyConnection::put_sql(const std::string& text) {
  sql_ = text;
  inner_->put_sql(text);
}

void FaultyConnection::MaybeFail() {
  ++seen_;
  if (signalAt_ && *signalAt_ == seen_) ::raise(signal_);
  if ((failAt_ && *failAt_ == seen_) ||
      (failEvery_ && sql_.find(*failEvery_) != std::string::npos)) {
    throw failure_;
  }
}

Variant FaultyConnection::crearrs(Variant& recordset) {
  MaybeFail();
  return inner_->crearrs(recordset);
}

Variant FaultyConnection::ejecutar() {
  MaybeFail();
  return inner_->ejecutar();
}

}  // namespace oq::test
