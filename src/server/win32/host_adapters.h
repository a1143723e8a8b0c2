#pragma once

#include <oaidl.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/data_access_manager.h"
#include "host/format_component.h"
#include "host/host_connection.h"
#include "host/recordset.h"
#include "server/win32/dispatch_caller.h"

namespace oq::win32 {

// The host's objects as the copy engine's contracts (host/*.h), each over the host's IDispatch
// object and reached by member name. Each holds a counted reference to the host's object for as
// long as it lives. A failure the host object reports reaches the caller as a Failure with the
// host's number and description.

// sql, crearrs, ejecutar.
class DispatchConnection : public HostConnection, public DispatchHolder {
 public:
  using DispatchHolder::DispatchHolder;
  void put_sql(const std::string& text) override;
  // The record-set variable goes by reference. One the caller has not filled yet is handed over
  // as a new, unopened ADODB.Recordset where that class can be created (a host may open it in
  // place), else Empty. What the host leaves there comes back as a DispatchRecordset.
  Variant crearrs(Variant& recordset) override;
  Variant ejecutar() override;
};

// Fields(name).Value, EOF, MoveFirst, MoveNext, Close.
class DispatchRecordset : public Recordset, public DispatchHolder {
 public:
  using DispatchHolder::DispatchHolder;
  ~DispatchRecordset() override;
  // The host's field object, found once per name: the Fields collection's default member (Item)
  // with the name, or, for a record set whose Fields takes the name itself, Fields(name).
  Field& Fields(const std::string& name) override;
  bool Eof() const override;
  void MoveFirst() override;
  void MoveNext() override;
  void Close() override;

 private:
  // Field names compare as the host's record sets compare them: without regard to case.
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  std::map<std::string, std::unique_ptr<Field>, NameLess> fields_;
};

// getMidFormatbyEntity.
class DispatchDataAccessManager : public DataAccessManager, public DispatchHolder {
 public:
  using DispatchHolder::DispatchHolder;
  std::string getMidFormatbyEntity(const std::string& entity, const std::string& text,
                                   const std::string& start, const std::string& length) override;
};

// EsNumero, given the host's own field object.
class DispatchFormat : public FormatComponent, public DispatchHolder {
 public:
  using DispatchHolder::DispatchHolder;
  Variant EsNumero(const Field& field) override;
};

// While it lives on this thread, the class object of ADODB.Recordset is found once and kept, so
// that the thousands of record-set variables a filtered copy hands over are made without finding
// the class anew each time; outside such a scope each is found afresh. cMAIN's members hold one
// for the length of their call: nothing is kept past it, since a host may shut COM down and start
// it again between two calls, which would leave a kept class object stale.
class RecordsetClassScope {
 public:
  RecordsetClassScope();
  RecordsetClassScope(const RecordsetClassScope&) = delete;
  RecordsetClassScope& operator=(const RecordsetClassScope&) = delete;
  ~RecordsetClassScope();

  // The class object, found at the first call (null when the class cannot be found here).
  IClassFactory* Class();

 private:
  RecordsetClassScope* outer_;
  ComRef<IClassFactory> class_;
  bool found_ = false;
};

// The adapter for an object the host hands over or the system creates: a DispatchDataAccessManager
// for the data-access manager's registered name, a DispatchFormat for the formatting
// component's, a DispatchObject for any other. Null gives Nothing.
ObjectRef AdaptCreated(const std::string& progId, IDispatch* object);

}  // namespace oq::win32
