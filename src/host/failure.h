#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace oq {

// The component's one kind of error: a number, a description and the source that raised it, as
// the message boxes of the copy procedures show them. Everything that goes wrong below a copy
// procedure is thrown as a Failure; adapters turn driver errors into one at their edge.
class Failure : public std::runtime_error {
 public:
  Failure(std::int32_t number, std::string description, std::string source = "oQUARDELINO")
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        source_(std::move(source)) {}

  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
};

// The classic run-time error numbers that the copy procedures and the host layer raise.
namespace err {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kCannotCreateObject = 429;
inline constexpr std::int32_t kMemberNotSupported = 438;
inline constexpr std::int32_t kWrongArgumentCount = 450;
inline constexpr std::int32_t kPropertyWriteOnly = 451;  // "Property let procedure not defined..."
inline constexpr std::int32_t kItemNotFound = 3265;      // record-set field name unknown
inline constexpr std::int32_t kNoCurrentRecord = 3021;   // record set at BOF or EOF
inline constexpr std::int32_t kOperationOnClosed = 3704;
inline constexpr std::int32_t kDatabaseError = -2147467259;  // 0x80004005, as drivers report it

// Builds the failure for a run-time error number with its usual English description.
Failure runtime(std::int32_t number, std::string source = "oQUARDELINO");
}  // namespace err

}  // namespace oq
