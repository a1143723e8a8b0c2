#include "faulty_connection.h"

namespace oq::test {

void FaultyConnection::put_sql(const std::string& text) {
  sql_ = text;
  inner_->put_sql(text);
}

void FaultyConnection::MaybeFail() {
  ++seen_;
  bool fail = failAt_ && *failAt_ == seen_;
  if (failOnText_ && sql_.find(*failOnText_) != std::string::npos) {
    fail = true;
    failOnText_.reset();
  }
  if (failEvery_ && sql_.find(*failEvery_) != std::string::npos) fail = true;
  if (fail) {
    ++thrown_;
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
