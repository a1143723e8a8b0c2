#pragma once

#include <memory>
#include <string>

#include "connectors/components/host_components.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/host_connection.h"

namespace oq::test {

// Clears this thread's session state (basGLOBAL) and sets what a host would have set through cMAIN
// before a copy: the connections, the interno to copy, the data-access manager (which the full copy
// does without) and the date, an SQL value expression.
inline void SetUpSession(std::shared_ptr<HostConnection> internos,
                         std::shared_ptr<HostConnection> ncm, const std::string& source,
                         ObjectRef dataAccessManager, const std::string& fecha = "'2024-05-17'") {
  basGLOBAL::Reset();
  basGLOBAL::SessionState& state = basGLOBAL::State();
  state.internos = std::move(internos);
  state.ncm = std::move(ncm);
  state.numeroInterno = source;
  state.dataAccessManager = std::move(dataAccessManager);
  state.fechaActual = fecha;
}

// A data-access manager as the host's components create it, registering them first.
inline ObjectRef MakeDataAccessManager() {
  components::RegisterHostComponents();
  return CreateObject(std::string(identity::kDataAccessManagerProgId));
}

}  // namespace oq::test
