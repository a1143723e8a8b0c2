#pragma once

#include <cstdint>
#include <string>

#include "host/automation_object.h"
#include "host/object.h"
#include "host/variant.h"

namespace oq {

// The component's one public class. Every member acts at once on this thread's session state
// (basGLOBAL); the instance itself holds nothing, so all instances of a thread share one state.
// No member traps errors: a failure goes back to the caller as a thrown Failure.
// The members are reached directly (the interface's function table) or by dispatch id and name
// through AutomationObject (see host/dispatch.h for the table and the conversion rules).
class cMAIN : public AutomationObject {
 public:
  cMAIN();
  ~cMAIN() override;

  // Members of _cMAIN, in the order of its function table.

  // Copies the text into the source number. There is no get.
  void put_Numero_Interno(const std::string& p_Numero);
  // Creates "DataAccessManager.DAMMain" (which must be creatable: Failure 429 otherwise, the state
  // unchanged), then stores the object held by p_DAM as the data-access manager instead. p_DAM is
  // not changed. A p_DAM that holds no object stores Nothing.
  void GetDataAccessManager(Variant& p_DAM);
  // Shows frmMAIN modally, creating the instance on first use; returns when it is unloaded.
  void Mostrar();
  // Stores a counted reference to the object as the internos connection.
  void setConexionAInternos(const ObjectRef& p_Conn);
  // Copies the text into the current-date text.
  void setFechaActualDeInternos(const std::string& p_Conn);
  // Stores a counted reference to the object as the NCM connection.
  void setConexionANcm(const ObjectRef& p_Conn);
  std::int32_t get_pLenMaxInterno() const;
  void put_pLenMaxInterno(std::int32_t lLenMaxInterno);

  // Automation dispatch over the members above (host/dispatch.h).
  DispId GetIDsOfNames(const std::string& name) const override;
  Variant Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;

  // How many cMAIN objects of this module are alive (for the unload check).
  static long LiveObjects();
};

}  // namespace oq
