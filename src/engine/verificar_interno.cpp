#include "engine/verificar_interno.h"

#include "engine/copy_statements.h"
#include "engine/failure_text.h"
#include "engine/session_objects.h"
#include "host/failure.h"
#include "host/variant.h"

namespace oq {

namespace {

// The bitwise Not of an automation value, then read as a truth value: Boolean true (-1) gives
// false, while a count such as 1 would give -2 and still read as true; Null cannot be made a truth
// value (94) and text is a type mismatch (13).
bool NotAsBoolean(const Variant& value) {
  if (value.isNull()) throw err::runtime(err::kInvalidUseOfNull);
  if (value.kind() == Variant::Kind::kBoolean) return !value.asBoolean();
  return ~value.toInt64() != 0;
}

}  // namespace

bool VerificarInterno(CopyContext& ctx, const std::string& p_NWNRO) {
  try {
    const std::shared_ptr<HostConnection> connection = InternosConnection();
    connection->put_sql(ExistenceQuery(p_NWNRO));
    // A fresh record-set variable for this call only; released when the call ends, unread.
    Variant recordset;
    return NotAsBoolean(connection->crearrs(recordset));
  } catch (const Failure& failure) {
    ctx.platform.MsgBox(SectionFailureText(failure, "Sección oQUARDELINO.frmMAIN.VerificarInterno"),
                        vbCritical);
    return false;
  }
}

}  // namespace oq
