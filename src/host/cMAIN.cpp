#include "host/cMAIN.h"

#include <atomic>

#include "host/basGLOBAL.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/dispatch.h"

namespace oq {

namespace {
std::atomic<long> g_liveObjects{0};
}

cMAIN::cMAIN() { ++g_liveObjects; }
cMAIN::~cMAIN() { --g_liveObjects; }
long cMAIN::LiveObjects() { return g_liveObjects.load(); }

void cMAIN::put_Numero_Interno(const std::string& p_Numero) {
  basGLOBAL::State().numeroInterno = p_Numero;
}

void cMAIN::GetDataAccessManager(Variant& p_DAM) {
  // The registered manager must be creatable even though the caller's object replaces it: a host
  // relies on this call failing on a machine where the manager is not installed.
  ObjectRef created = CreateObject(std::string(identity::kDataAccessManagerProgId));
  auto& state = basGLOBAL::State();
  state.dataAccessManager = std::move(created);
  state.dataAccessManager = p_DAM.isObject() ? p_DAM.asObject() : ObjectRef();
}

void cMAIN::Mostrar() {
  auto& state = basGLOBAL::State();
  if (!state.dialog) state.dialog = CreateMainForm();
  // Hold our own reference: the form must outlive its modal loop even if the state changes.
  std::shared_ptr<ModalForm> dialog = state.dialog;
  dialog->ShowModal();
}

void cMAIN::setConexionAInternos(const ObjectRef& p_Conn) { basGLOBAL::State().internos = p_Conn; }

void cMAIN::setFechaActualDeInternos(const std::string& p_Conn) {
  basGLOBAL::State().fechaActual = p_Conn;
}

void cMAIN::setConexionANcm(const ObjectRef& p_Conn) { basGLOBAL::State().ncm = p_Conn; }

std::int32_t cMAIN::get_pLenMaxInterno() const { return basGLOBAL::State().maxLength; }

void cMAIN::put_pLenMaxInterno(std::int32_t lLenMaxInterno) {
  basGLOBAL::State().maxLength = lLenMaxInterno;
}

DispId cMAIN::GetIDsOfNames(const std::string& name) const { return dispatch::GetIDsOfNames(name); }

Variant cMAIN::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  return dispatch::Invoke(*this, id, kind, args);
}

}  // namespace oq
