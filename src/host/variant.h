#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "host/object.h"

namespace oq {

// The automation value: what host objects pass in and out. Boolean true is -1 when read as a
// number, as the host expects of a truth value. Conversions that depend on regional settings
// (number to text) live with the run-time conversions, not here.
class Variant {
 public:
  enum class Kind { kEmpty, kNull, kBoolean, kInteger, kLong, kLongLong, kDouble, kString, kObject };

  struct NullTag {};

  Variant() = default;
  static Variant Null() { return Variant(NullTag{}); }
  static Variant Boolean(bool value) { return Variant(Storage(value)); }
  static Variant Integer(std::int16_t value) { return Variant(Storage(value)); }
  static Variant Long(std::int32_t value) { return Variant(Storage(value)); }
  static Variant LongLong(std::int64_t value) { return Variant(Storage(value)); }
  static Variant Double(double value) { return Variant(Storage(value)); }
  static Variant String(std::string value) { return Variant(Storage(std::move(value))); }
  static Variant Object(ObjectRef value) { return Variant(Storage(std::move(value))); }

  Kind kind() const { return static_cast<Kind>(storage_.index()); }
  bool isEmpty() const { return kind() == Kind::kEmpty; }
  bool isNull() const { return kind() == Kind::kNull; }
  bool isObject() const { return kind() == Kind::kObject; }
  bool isString() const { return kind() == Kind::kString; }
  // Boolean, the integer kinds and Double.
  bool isNumeric() const;

  // Accessors for the held kind; each throws Failure 13 (type mismatch) on another kind.
  bool asBoolean() const;
  const std::string& asString() const;
  const ObjectRef& asObject() const;  // an Object variant may hold an empty reference (Nothing)

  // The value as a whole number: Boolean gives -1 or 0, Double is rounded half to even.
  // Empty gives 0; Null throws 94, text and objects throw 13; out of range throws 6.
  std::int64_t toInt64() const;
  // The value as a double: Empty gives 0, Boolean -1 or 0; Null throws 94, text/objects 13.
  double toDouble() const;
  // A truth value for a condition: numbers are true when not 0; Null throws 94.
  bool isTrue() const;

  friend bool operator==(const Variant& a, const Variant& b) { return a.storage_ == b.storage_; }

 private:
  struct EmptyTag {
    friend bool operator==(EmptyTag, EmptyTag) { return true; }
  };
  struct NullValue {
    friend bool operator==(NullValue, NullValue) { return true; }
  };
  using Storage = std::variant<EmptyTag, NullValue, bool, std::int16_t, std::int32_t, std::int64_t,
                               double, std::string, ObjectRef>;
  explicit Variant(NullTag) : storage_(NullValue{}) {}
  explicit Variant(Storage storage) : storage_(std::move(storage)) {}

  Storage storage_;
};

}  // namespace oq
