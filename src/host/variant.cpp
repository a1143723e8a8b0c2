#include "host/variant.h"

#include <cmath>
#include <limits>

#include "host/failure.h"

namespace oq {

bool Variant::isNumeric() const {
  switch (kind()) {
    case Kind::kBoolean:
    case Kind::kInteger:
    case Kind::kLong:
    case Kind::kLongLong:
    case Kind::kDouble:
      return true;
    default:
      return false;
  }
}

bool Variant::asBoolean() const {
  if (const bool* value = std::get_if<bool>(&storage_)) return *value;
  throw err::runtime(err::kTypeMismatch);
}

const std::string& Variant::asString() const {
  if (const std::string* value = std::get_if<std::string>(&storage_)) return *value;
  throw err::runtime(err::kTypeMismatch);
}

const ObjectRef& Variant::asObject() const {
  if (const ObjectRef* value = std::get_if<ObjectRef>(&storage_)) return *value;
  throw err::runtime(err::kTypeMismatch);
}

double Variant::toDouble() const {
  switch (kind()) {
    case Kind::kEmpty: return 0.0;
    case Kind::kNull: throw err::runtime(err::kInvalidUseOfNull);
    case Kind::kBoolean: return std::get<bool>(storage_) ? -1.0 : 0.0;
    case Kind::kInteger: return std::get<std::int16_t>(storage_);
    case Kind::kLong: return std::get<std::int32_t>(storage_);
    case Kind::kLongLong: return static_cast<double>(std::get<std::int64_t>(storage_));
    case Kind::kDouble: return std::get<double>(storage_);
    default: throw err::runtime(err::kTypeMismatch);
  }
}

std::int64_t Variant::toInt64() const {
  switch (kind()) {
    case Kind::kLongLong: return std::get<std::int64_t>(storage_);
    case Kind::kDouble: {
      const double rounded = std::nearbyint(std::get<double>(storage_));  // half to even
      if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
        throw err::runtime(err::kOverflow);
      }
      return static_cast<std::int64_t>(rounded);
    }
    default: return static_cast<std::int64_t>(toDouble());
  }
}

bool Variant::isTrue() const { return toDouble() != 0.0; }

}  // namespace oq
