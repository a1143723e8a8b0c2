#pragma once

#include <string>

#include "host/object.h"

namespace oq {

// The host's data-access manager, registered as "DataAccessManager.DAMMain": it knows which SQL
// dialect serves each entity (a database the host names, such as "INTERNOS").
class DataAccessManager : public Object {
 public:
  // The SQL expression, in the dialect of `entity`, for `length` characters of the SQL text
  // expression `text` from the 1-based position `start`. All four arguments are texts, the
  // numbers written in decimal. Throws Failure for an entity it does not know.
  virtual std::string getMidFormatbyEntity(const std::string& entity, const std::string& text,
                                           const std::string& start,
                                           const std::string& length) = 0;
};

}  // namespace oq
