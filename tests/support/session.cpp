#include "session.h"

#include "connectors/components/host_components.h"
#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"

namespace oq::test {

void SetUpSession(const SessionSetup& setup) {
  basGLOBAL::Reset();
  basGLOBAL::SessionState& state = basGLOBAL::State();
  state.internos = setup.internos;
  state.ncm = setup.ncm;
  state.fechaActual = setup.fecha;
  state.numeroInterno = setup.source;
  state.dataAccessManager = setup.dataAccessManager;
  state.maxLength = setup.maxLength;
}

ObjectRef MakeDataAccessManager() {
  components::RegisterHostComponents();
  return CreateObject(std::string(identity::kDataAccessManagerProgId));
}

}  // namespace oq::test
