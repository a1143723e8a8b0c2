#pragma once

#include <memory>
#include <string>

#include "host/host_connection.h"
#include "host/object.h"

namespace oq::test {

// The session state a host would have set through cMAIN before a copy.
struct SessionSetup {
  std::shared_ptr<HostConnection> internos;
  std::shared_ptr<HostConnection> ncm;
  std::string fecha = "'2024-05-17'";  // the date text: an SQL value expression
  std::string source;                  // the interno to copy
  ObjectRef dataAccessManager;         // may stay empty for the full copy
  int maxLength = 0;
};

// Clears this thread's session state (basGLOBAL) and fills it from `setup`.
void SetUpSession(const SessionSetup& setup);

// A data-access manager as the host's components create it ("DataAccessManager.DAMMain"),
// registering the components first.
ObjectRef MakeDataAccessManager();

}  // namespace oq::test
