#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/forms.h"
#include "host/object.h"

namespace oq::basGLOBAL {

// The session state: what the host hands over through cMAIN, shared by every cMAIN instance, the
// dialog and the copy engine of one thread. Each host thread has its own, created empty when the
// thread first touches it. Nothing here is validated or reset by the component.
struct SessionState {
  std::int32_t maxLength = 0;            // pLenMaxInterno; 0 means "use 40"
  ObjectRef dataAccessManager;           // GetDataAccessManager
  ObjectRef internos;                    // setConexionAInternos
  ObjectRef ncm;                         // setConexionANcm
  std::string fechaActual;               // setFechaActualDeInternos: an SQL value expression
  std::string numeroInterno;             // Numero_Interno: the interno to copy
  std::shared_ptr<ModalForm> dialog;     // the frmMAIN instance, created by the first Mostrar
};

// This thread's session state.
SessionState& State();

// Clears this thread's state back to its initial values. For hosts that reuse a thread for an
// unrelated session, and for tests.
void Reset();

}  // namespace oq::basGLOBAL
