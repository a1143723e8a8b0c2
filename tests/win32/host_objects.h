#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connectors/components/dam_main.h"
#include "host/host_connection.h"
#include "server/win32/com_object.h"

namespace oq::wintest {

// A host's automation object as a Windows host hands it over: IDispatch with members found by
// name, and failures reported through EXCEPINFO with the object's own number and text.
class NamedObject : public win32::ComObject<IDispatch> {
 public:
  struct Member {
    const wchar_t* name;
    DISPID id;
  };
  explicit NamedObject(std::vector<Member> members) : members_(std::move(members)) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override;

 protected:
  // Member `id` with `args` in the member's order; a Failure becomes the caller's EXCEPINFO.
  virtual void Call(DISPID id, std::vector<VARIANT*>& args, VARIANT* result) = 0;
  void* Find(REFIID iid) override;

 private:
  std::vector<Member> members_;
};

// The clock and the processor time this thread has used, in seconds.
struct Times {
  double clock = 0, processor = 0;
  static Times Now();
  Times operator-(const Times& start) const {
    return {clock - start.clock, processor - start.processor};
  }
};

// What a connection object did, for the benchmark's replay: each statement and how it ran.
struct StatementLog {
  struct Entry {
    const HostConnection* connection;
    std::string sql;
    bool query;  // crearrs, else ejecutar
  };
  std::vector<Entry> entries;
  // The clock and this thread's processor time (which, unlike the clock, does not count what
  // other programs on the machine take) at the first statement and after the last one.
  Times first, last;
};

// The faults a connection object raises on demand, as a host's object refusing a statement.
struct Faults {
  bool crearrs = false;   // 1001 "tabla bloqueada por otro usuario"
  bool ejecutar = false;  // 1002 "sin permiso de escritura"
};

// A host connection object (sql, crearrs, ejecutar) over one of our connections; its record sets
// are our own automation objects (Fields collection and its Item, Field.Value, EOF, MoveFirst,
// MoveNext, Close). `faults` and `log` may be null.
IDispatch* NewConnectionObject(std::shared_ptr<HostConnection> connection, const Faults* faults,
                               StatementLog* log);

// Registers, for this process, "DataAccessManager.DAMMain" (getMidFormatbyEntity over
// components::DamMain) and "cFORMAT.Main" (EsNumero over components::FormatMain): their class
// objects, and their names in the class registry. Returns a DamMain object for the session.
IDispatch* RegisterHostComponents();

}  // namespace oq::wintest
