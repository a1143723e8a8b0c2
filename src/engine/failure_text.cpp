#include "engine/failure_text.h"

namespace oq {

std::string NumberDashDescription(const Failure& failure) {
  return std::to_string(failure.number()) + " - " + failure.description();
}

}  // namespace oq
