#include "careful_host/main_session.h"

#include <time.h>

#include "careful_host/connection_url.h"
#include "careful_host/mark_ledger.h"
#include "careful_host/preflight.h"
#include "careful_host/request_checks.h"
#include "connectors/common/round_trips.h"
#include "connectors/common/transaction_control.h"
#include "connectors/components/host_components.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/variant.h"
#include "platform/settings_store.h"

namespace oq::careful {

void SendTextsAsWritten(const SessionDatabases& databases) {
  for (const auto& connection : {databases.internos, databases.ncm}) {
    if (auto* trips = dynamic_cast<connectors::RoundTrips*>(connection.get())) {
      trips->SetReusePrepared(false);
    }
  }
}

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

SessionDatabases OpenChecked(const std::string& internosUrl, const std::string& ncmUrl,
                             const SessionChecks& checks,
                             const std::function<void(const std::string& line)>& say) {
  SessionDatabases databases;
  try {
    OpenDatabases(databases, internosUrl, ncmUrl);
    RegisterComponentsFor(internosUrl, ncmUrl);
  } catch (const std::exception& e) {
    throw CheckRefusal("cannot open the database " + (databases.internos ? ncmUrl : internosUrl) +
                       ": " + e.what());
  }
  PrepareDatabases(databases, say);
  try {
    CheckInternosTables(*databases.internos, internosUrl);
    if (checks.ncm) CheckNcmTable(*databases.ncm, ncmUrl, ncmUrl == internosUrl);
    CheckSourceExists(*databases.internos, checks.source, internosUrl);
    if (checks.dateSql) CheckDateExpression(*databases.internos, *checks.dateSql, internosUrl);
    if (checks.writable) CheckWritable(*databases.internos, internosUrl);
  } catch (const PreflightError& e) {
    throw CheckRefusal(std::string(e.what()) + "; nothing was written");
  }
  return databases;
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

}  // namespace oq::careful
