#include "careful_host/run_savings.h"

#include <unordered_set>

#include "careful_host/component_texts.h"
#include "engine/conversions.h"
#include "engine/filtered_item_statements.h"
#include "engine/session_objects.h"

namespace oq::careful::guard {

void RunSavings::Start(connectors::RoundTrips* writes, bool lookups) {
  Stop();
  writes_ = writes;
  lookups_ = lookups;
  if (lookups_ && holdReads_) heldReads_.emplace(ncm_);
}

void RunSavings::Stop() {
  ForgetAhead();
  heldReads_.reset();
  answers_.clear();
  lastShape_.reset();
  held_.clear();
  inFlight_ = false;
  writes_ = nullptr;
  lookups_ = false;
}

std::optional<Variant> RunSavings::Answer(const std::string& sql) {
  auto found = answers_.find(sql);
  if (found == answers_.end()) {
    if (ahead_.empty()) return std::nullopt;  // nothing asked ahead can answer it
    ReadAhead(sql);
    found = answers_.find(sql);
    if (found == answers_.end()) return std::nullopt;
  }
  const Answer_& answer = found->second;
  return Variant::Object(std::make_shared<connectors::SnapshotRecordset>(
      answer.shape->options, answer.shape->names, answer.rowCount, answer.read));
}

void RunSavings::Remember(const std::string& sql, const Variant& answer) {
  if (!lookups_ || !IsTariffLookup(sql) || answer.isEmpty()) return;
  const auto* rows = dynamic_cast<const connectors::SnapshotRecordset*>(answer.asObject().get());
  if (rows == nullptr) return;  // a record set of another kind is not copied
  try {
    // Later lookups get record sets of their own over the same rows, which nobody changes; the
    // component reads, and may close, the one it was given.
    // Nearly every answer has the shape of the one before: compared in place, copied only when new.
    if (lastShape_ == nullptr || !rows->HasNames(lastShape_->names) ||
        lastShape_->options.source != rows->options().source ||
        lastShape_->options.nameInNotFound != rows->options().nameInNotFound) {
      lastShape_ = std::make_shared<const Shape>(Shape{rows->options(), rows->Names()});
    }
    answers_.emplace(sql, Answer_{lastShape_, rows->RowCount(), rows->Reader()});
  } catch (const Failure&) {
    // Closed already: the next lookup of the text asks the database again.
  }
}

void RunSavings::Prefetch(const std::vector<std::string>& lookups) {
  if (!Prefetches()) return;
  std::vector<std::string> asked;
  std::unordered_set<std::string> seen;
  for (const std::string& lookup : lookups) {
    if (!answers_.contains(lookup) && seen.insert(lookup).second) asked.push_back(lookup);
  }
  try {
    if (!ncm_->AskAhead(asked)) return;
  } catch (const Failure&) {
    return;  // the connection is gone: the copy's own lookup meets that
  }
  ahead_ = std::move(asked);
  aheadRead_ = 0;
  for (std::size_t i = 0; i < ahead_.size(); ++i) aheadIndex_.emplace(ahead_[i], i);
}

void RunSavings::ReadAhead(const std::string& upTo) {
  const auto at = aheadIndex_.find(upTo);
  const std::size_t last = upTo.empty()              ? ahead_.size()
                           : at == aheadIndex_.end() ? 0
                                                     : at->second + 1;
  try {
    while (aheadRead_ < last) {
      const std::shared_ptr<connectors::SnapshotRecordset> rows = ncm_->NextAnswer();
      const std::string& asked = ahead_[aheadRead_++];
      if (rows) Remember(asked, Variant::Object(rows));
    }
  } catch (const Failure&) {
    ForgetAhead();  // the connection is gone: the copy's own lookup meets that
  }
}

void RunSavings::ForgetAhead() {
  if (ahead_.empty()) return;
  aheadIndex_.clear();
  ahead_.clear();
  aheadRead_ = 0;
  try {
    ncm_->DropAnswers();
  } catch (const Failure&) {
    // Lost: nothing is left to drop.
  }
}

std::vector<std::string> ItemLookups(const std::string& itemsQuery, Recordset& items,
                                     const std::string& separator) {
  using filtered::Licence;
  std::vector<std::string> lookups;
  for (const Licence licence : {Licence::kConLAPI, Licence::kSinLAPI}) {
    const std::string query = filtered::ItemsQuery(licence, "");
    if (!itemsQuery.starts_with(query.substr(0, query.find('\'')))) continue;
    const std::shared_ptr<DataAccessManager> dam = SessionDataAccessManager();
    if (dam == nullptr) return lookups;
    try {
      for (items.MoveFirst(); !items.Eof(); items.MoveNext()) {
        const Variant ncm = items.Fields("ncm").Value();
        lookups.push_back(filtered::TariffLookup(
            licence, *dam, ncm.isNull() ? std::string() : rt::CStr(ncm, separator)));
      }
    } catch (const Failure&) {
      // An item the copy cannot read: it meets that failure itself.
    }
    items.MoveFirst();
    break;
  }
  return lookups;
}

void RunSavings::Written(const std::string& sql) {
  if ((!answers_.empty() || !ahead_.empty()) && WritesNcm(sql)) {
    answers_.clear();
    ForgetAhead();
  }
}

bool RunSavings::Holds(const std::string& sql) const {
  return writes_ != nullptr && writes_->Pipelines() && IsItemInsert(sql);
}

bool RunSavings::Hold(std::string sql) {
  held_.push_back(std::move(sql));
  return held_.size() >= kBatch;
}

std::optional<connectors::Refused> RunSavings::SendHeld(bool finish) {
  std::optional<connectors::Refused> refused;
  if (!held_.empty()) {
    const std::vector<std::string> batch = std::exchange(held_, {});
    inFlight_ = true;
    refused = writes_->SendWrites(batch);
  }
  if (finish && inFlight_ && !refused) {
    inFlight_ = false;
    refused = writes_->FinishWrites();
  }
  return refused;
}

Variant RememberingConnection::crearrs(Variant& recordset) {
  return LookUp(*inner_, savings_, sql_, recordset);
}

Variant LookUp(HostConnection& inner, RunSavings& savings, const std::string& sql,
               Variant& recordset) {
  if (std::optional<Variant> answer = savings.Answer(sql)) {
    auto* rows = dynamic_cast<Recordset*>(answer->asObject().get());
    const bool found = !rows->Eof();
    recordset = std::move(*answer);
    return Variant::Boolean(found);
  }
  // Answers asked ahead are read first, since the connection drops the unread ones.
  savings.ReadAhead();
  Variant result = inner.crearrs(recordset);
  savings.Remember(sql, recordset);
  return result;
}

}  // namespace oq::careful::guard
