#include "careful_host/run_watch.h"

#include "careful_host/component_texts.h"
#include "host/failure.h"

namespace oq::careful::guard {

namespace {

// The items a filtered copy goes through: once the last is passed, the inserts held for them are
// sent, while the component is still in the step that wrote them (a refused one fails that step).
class ItemsRecordset : public Recordset {
 public:
  ItemsRecordset(std::shared_ptr<Object> holder, Recordset& inner, GuardedConnection& connection)
      : holder_(std::move(holder)), inner_(inner), connection_(connection) {}

  Field& Fields(const std::string& name) override { return inner_.Fields(name); }
  bool Eof() const override { return inner_.Eof(); }
  void MoveFirst() override { inner_.MoveFirst(); }
  void MoveNext() override {
    inner_.MoveNext();
    if (inner_.Eof()) connection_.SendHeld();
  }
  void Close() override { inner_.Close(); }

 private:
  std::shared_ptr<Object> holder_;
  Recordset& inner_;
  GuardedConnection& connection_;
};

}  // namespace

Variant GuardedConnection::crearrs(Variant& recordset) {
  return Guarded([&] {
    RunWatch* watch = state_.watch();
    SendHeld();
    if (watch != nullptr && IsTariffLookup(sql_)) {
      return LookUp(*inner_, state_.savings(), sql_, recordset);
    }
    const auto number = watch != nullptr ? ExistenceCheckNumber(sql_) : std::nullopt;
    if (number && state_.control() != nullptr) state_.control()->LockNumber(*number);
    Variant found = inner_->crearrs(recordset);
    if (number && !found.isTrue()) watch->freeNumbers.push_back(*number);
    if (number && found.isTrue() && watch->takenIsFault) {
      watch->Fault("the number " + *number + " is taken");
    }
    if (watch != nullptr && IsItemsQuery(sql_) && !recordset.isEmpty()) {
      if (auto* items = dynamic_cast<Recordset*>(recordset.asObject().get())) {
        RunSavings& savings = state_.savings();
        if (savings.Prefetches()) {
          savings.Prefetch(ItemLookups(sql_, *items, state_.DecimalSeparator()));
        }
        recordset =
            Variant::Object(std::make_shared<ItemsRecordset>(recordset.asObject(), *items, *this));
      }
    }
    return found;
  });
}

Variant GuardedConnection::ejecutar() {
  return Guarded([&] {
    if (state_.watch() != nullptr) {
      RunSavings& savings = state_.savings();
      if (savings.Holds(sql_)) {
        if (savings.Hold(sql_)) SendHeld(false);
        return Variant::Long(1);
      }
      SendHeld();
      savings.Written(sql_);
    }
    return inner_->ejecutar();
  });
}

void GuardedConnection::SendHeld(bool finish) {
  RunWatch* watch = state_.watch();
  if (watch == nullptr || !state_.savings().holding()) return;
  std::optional<connectors::Refused> refused;
  try {
    refused = state_.savings().SendHeld(finish);
  } catch (const Failure& failure) {
    watch->Fault("a statement failed: " + failure.description());
    throw;
  }
  inner_->put_sql(sql_);  // the statement the component set last
  if (refused) {
    watch->Fault("a statement failed: " + refused->failure.description());
    throw refused->failure;
  }
}

void GuardedConnection::SendHeldQuietly() noexcept {
  try {
    SendHeld();
  } catch (const Failure&) {
    // Recorded as the run's fault.
  }
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
