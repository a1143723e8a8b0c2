#include "engine/item_copy.h"

#include "engine/copy_statements.h"
#include "engine/failure_text.h"
#include "engine/session_objects.h"
#include "host/failure.h"

namespace oq {

bool AgregarSubitems(CopyContext& ctx, const std::string& p_NRO, const std::string& p_NWNRO) {
  bool result = false;
  try {
    const std::shared_ptr<HostConnection> connection = InternosConnection();
    connection->put_sql(ItemCopyStatement(p_NRO, p_NWNRO));
    if (connection->ejecutar().toDouble() > 0) result = true;
  } catch (const Failure& failure) {
    // This step's message names no procedure.
    ctx.platform.MsgBox(NumberDashDescription(failure), vbCritical);
    result = false;
  }
  return result;
}

}  // namespace oq
