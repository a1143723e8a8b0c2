#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "host/host_connection.h"
#include "host/variant.h"

namespace oq::careful {

// The progress of a copy on a terminal: "copy k of n, items done of total, items per second",
// redrawn in place on one line. Nothing shows for a run shorter than half a second, and the line
// is erased at the end, so that only the log and the results stay on the screen.
class ProgressMeter {
 public:
  // `copies`: the copies the run makes; `items`: the source's items; `filtered`: whether items go
  // one by one after a tariff lookup (counted by lookups) or by set-based copies (counted by the
  // rows each copy inserts).
  // `beforeDraw` runs before the line is drawn afresh (to end an open log line first).
  ProgressMeter(std::ostream& out, int copies, long items, bool filtered,
                std::function<void()> beforeDraw = {});
  ~ProgressMeter();
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // A statement of the run has run, with its result.
  void Statement(const std::string& sql, const Variant& result);
  // Erases the line, if one was drawn.
  void Finish();

 private:
  void Draw();

  using Clock = std::chrono::steady_clock;
  std::ostream& out_;
  int copies_;
  long items_;
  bool filtered_;
  std::function<void()> beforeDraw_;
  int copy_ = 0;
  long done_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDraw_{};
  bool drawn_ = false;
};

// Forwards to a connection and tells a meter about every statement that ran.
class ObservedConnection : public HostConnection {
 public:
  ObservedConnection(std::shared_ptr<HostConnection> inner, ProgressMeter& meter)
      : inner_(std::move(inner)), meter_(meter) {}
  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& recordset) override {
    Variant result = inner_->crearrs(recordset);
    meter_.Statement(sql_, result);
    return result;
  }
  Variant ejecutar() override {
    Variant result = inner_->ejecutar();
    meter_.Statement(sql_, result);
    return result;
  }

 private:
  std::shared_ptr<HostConnection> inner_;
  ProgressMeter& meter_;
  std::string sql_;
};

}  // namespace oq::careful
