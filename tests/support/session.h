#pragma once

#include <memory>
#include <string>

#include "connectors/components/host_components.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/host_connection.h"

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
inline void SetUpSession(const SessionSetup& setup) {
  basGLOBAL::Reset();
  basGLOBAL::SessionState& state = basGLOBAL::State();
  state.internos = setup.internos;
  state.ncm = setup.ncm;
  state.fechaActual = setup.fecha;
  state.numeroInterno = setup.source;
  state.dataAccessManager = setup.dataAccessManager;
  state.maxLength = setup.maxLength;
}

// A data-access manager as the host's components create it, registering them first.
inline ObjectRef MakeDataAccessManager() {
  components::RegisterHostComponents();
  return CreateObject(std::string(identity::kDataAccessManagerProgId));
}

}  // namespace oq::test
