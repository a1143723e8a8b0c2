#pragma once

#include <memory>

#include "host/data_access_manager.h"
#include "host/host_connection.h"

namespace oq {

// The host's objects as the copy procedures reach them through this thread's session state. Each
// returns its own counted reference, so the object lives for the caller's whole call even if the
// session is given another one meanwhile.
// Throws Failure 91 when the item holds no object, 438 when the object is not of the kind needed.
std::shared_ptr<HostConnection> InternosConnection();
std::shared_ptr<HostConnection> NcmConnection();
std::shared_ptr<DataAccessManager> SessionDataAccessManager();

}  // namespace oq
