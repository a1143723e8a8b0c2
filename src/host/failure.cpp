#include "host/failure.h"

namespace oq::err {

namespace {
const char* DescriptionOf(std::int32_t number) {
  switch (number) {
    case kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kTypeMismatch:
      return "Type mismatch";
    case kPathFileAccess:
      return "Path/File access error";
    case kObjectNotSet:
      return "Object variable or With block variable not set";
    case kInvalidUseOfNull:
      return "Invalid use of Null";
    case kCannotCreateObject:
      return "ActiveX component can't create object";
    case kMemberNotSupported:
      return "Object doesn't support this property or method";
    case kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case kPropertyWriteOnly:
      return "Property let procedure not defined and property get procedure did not return an "
             "object";
    case kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case kOperationOnClosed:
      return "Operation is not allowed when the object is closed.";
    default:
      return "Application-defined or object-defined error";
  }
}
}  // namespace

Failure runtime(std::int32_t number, std::string source) {
  return Failure(number, DescriptionOf(number), std::move(source));
}

}  // namespace oq::err
