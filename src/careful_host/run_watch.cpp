#include "careful_host/run_watch.h"

#include "careful_host/component_texts.h"
#include "host/failure.h"

namespace oq::careful::guard {

Variant GuardedConnection::crearrs(Variant& recordset) {
  return Guarded([&] {
    RunWatch* watch = state_.watch();
    const auto number = watch != nullptr ? ExistenceCheckNumber(sql_) : std::nullopt;
    if (number && state_.control() != nullptr) state_.control()->LockNumber(*number);
    Variant found = inner_->crearrs(recordset);
    if (number && !found.isTrue()) watch->freeNumbers.push_back(*number);
    if (number && found.isTrue() && watch->takenIsFault) {
      watch->Fault("the number " + *number + " is taken");
    }
    return found;
  });
}

Variant GuardedConnection::ejecutar() {
  return Guarded([&] { return inner_->ejecutar(); });
}

Variant GuardedConnection::Guarded(const std::function<Variant()>& call) {
  RunWatch* watch = state_.watch();
  if (watch != nullptr) state_.BeforeStatement();
  try {
    Variant result = call();
    if (observer_) observer_(sql_, result);
    return result;
  } catch (const Failure& failure) {
    if (watch != nullptr) watch->Fault("a statement failed: " + failure.description());
    throw;
  }
}

}  // namespace oq::careful::guard
