#include "main_session.h"

#include <time.h>

#include "connection_url.h"
#include "connectors/common/transaction_control.h"
#include "connectors/components/host_components.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/variant.h"
#include "mark_ledger.h"
#include "platform/settings_store.h"

namespace oq::app {

std::string TodayLiteral() {
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  char text[16];
  ::strftime(text, sizeof text, "'%Y-%m-%d'", &local);
  return text;
}

void OpenDatabases(SessionDatabases& out, const std::string& internosUrl,
                   const std::string& ncmUrl) {
  out.internos = OpenConnection(internosUrl, false);
  // One database, one connection: a run's transaction then covers the lookups too, and a
  // second connection cannot wait on the first one's lock.
  out.ncm = ncmUrl == internosUrl ? out.internos : OpenConnection(ncmUrl, false);
}

void PrepareDatabases(const SessionDatabases& databases,
                      const std::function<void(const std::string& line)>& say) {
  for (const auto& connection : {databases.internos, databases.ncm}) {
    if (auto* control = dynamic_cast<connectors::TransactionControl*>(connection.get())) {
      control->SetWaitNotice(say);
    }
  }
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  if (control == nullptr) return;
  try {
    ResolvePendingMarks(SettingsStore::ForCurrentUser(), control->DatabaseIdentity(),
                        *databases.internos);
  } catch (const Failure& failure) {
    say("the per-user marks of an earlier copy cannot be settled: " + failure.description());
  }
}

void RegisterComponentsFor(const std::string& internosUrl, const std::string& ncmUrl) {
  components::RegisterHostComponents(
      {{"INTERNOS", DialectOf(internosUrl)}, {"NCM", DialectOf(ncmUrl)}});
}

void HandSessionToMain(cMAIN& main, const SessionDatabases& databases,
                       const SessionValues& values) {
  main.setConexionAInternos(databases.internos);
  main.setConexionANcm(databases.ncm);
  Variant dam = Variant::Object(CreateObject(std::string(identity::kDataAccessManagerProgId)));
  main.GetDataAccessManager(dam);
  main.setFechaActualDeInternos(values.date ? *values.date : TodayLiteral());
  main.put_Numero_Interno(values.source);
  if (values.maxLength) main.put_pLenMaxInterno(*values.maxLength);
}

}  // namespace oq::app
