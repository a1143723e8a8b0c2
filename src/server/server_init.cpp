#include "server/server_init.h"

namespace oq::server {

void InitializeThread() {
  // ---------------------------------------------------------------------------------------------
  // INTEGRATION POINT: install this thread's main-form factory for Mostrar here, once per thread:
  //   thread_local bool installed = false;
  //   if (!installed) { oq::SetMainFormFactory(<factory of the Qt frmMAIN view>); installed = true;
  //   }
  // Until it is installed, Mostrar through this library fails with Failure 429 (no forms user
  // interface), as host/forms.h promises.
  // ---------------------------------------------------------------------------------------------
}

}  // namespace oq::server
