#include "engine/failure_text.h"

namespace oq {

std::string NumberDashDescription(const Failure& failure) {
  return std::to_string(failure.number()) + " - " + failure.description();
}

std::string SectionFailureText(const Failure& failure, const std::string& section) {
  return NumberDashDescription(failure) + kTwoLineBreaks + section;
}

}  // namespace oq
