#include "careful_host/progress_meter.h"

#include <algorithm>

#include "careful_host/component_texts.h"

namespace oq::careful {

namespace {
constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
}  // namespace

ProgressMeter::ProgressMeter(std::ostream& out, int copies, long items, bool filtered,
                             std::function<void()> beforeDraw)
    : out_(out),
      copies_(std::max(copies, 1)),
      items_(items),
      filtered_(filtered),
      beforeDraw_(std::move(beforeDraw)) {}

ProgressMeter::~ProgressMeter() { Finish(); }

void ProgressMeter::Statement(const std::string& sql, const Variant& result) {
  if (ExistenceCheckNumber(sql)) {
    copy_ = std::min(copy_ + 1, copies_);
  } else if (filtered_ ? IsTariffLookup(sql) : CopiesItems(sql)) {
    done_ += filtered_ ? 1 : static_cast<long>(result.isNumeric() ? result.toDouble() : 0);
  } else {
    return;
  }
  const auto now = Clock::now();
  if (now - start_ < kQuietStart || now - lastDraw_ < kRedraw) return;
  lastDraw_ = now;
  Draw();
}

void ProgressMeter::Draw() {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  if (!drawn_ && beforeDraw_) beforeDraw_();
  out_ << "\r\033[K"
       << "copy " << copy_ << " of " << copies_ << ", items " << done_ << " of "
       << items_ * (filtered_ ? 1 : copies_) << ", "
       << static_cast<long>(seconds > 0 ? done_ / seconds : 0) << " items/s" << std::flush;
  drawn_ = true;
}

void ProgressMeter::Finish() {
  if (!drawn_) return;
  out_ << "\r\033[K" << std::flush;
  drawn_ = false;
}

}  // namespace oq::careful
