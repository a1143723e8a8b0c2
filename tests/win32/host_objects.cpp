#include "host_objects.h"

#include <chrono>
#include <cstdint>

#include "connectors/components/format_main.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_text.h"
#include "server/win32/com_variant.h"

namespace oq::wintest {

using win32::FromVariant;
using win32::ToVariant;

HRESULT NamedObject::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT NamedObject::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT NamedObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count != 1) return DISP_E_UNKNOWNNAME;
  for (const Member& member : members_) {
    if (_wcsicmp(member.name, names[0]) == 0) {
      ids[0] = member.id;
      return S_OK;
    }
  }
  ids[0] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT NamedObject::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* info, UINT*) {
  std::vector<VARIANT*> args;
  for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
  try {
    Call(id, args, result);
    return S_OK;
  } catch (const Failure& failure) {
    if (info != nullptr) {
      *info = EXCEPINFO{};
      info->scode = win32::ResultOf(failure);
      info->bstrDescription = win32::Bstr(failure.description()).Release();
      info->bstrSource = win32::Bstr(failure.source()).Release();
    }
    return DISP_E_EXCEPTION;
  }
}

void* NamedObject::Find(REFIID iid) {
  return IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
}

namespace {

std::string Text(const VARIANT* value) {
  const Variant v = FromVariant(*value);
  return v.isString() ? v.asString() : std::string();
}

void Return(const Variant& value, VARIANT* result) {
  if (result != nullptr) ToVariant(value, result);
}

void ReturnObject(IDispatch* object, VARIANT* result) {
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = object;
}

class FieldObject : public NamedObject {
 public:
  FieldObject(std::shared_ptr<Recordset> rows, Field& field)
      : NamedObject({{L"Value", DISPID_VALUE}, {L"Name", 1}}),
        rows_(std::move(rows)),
        field_(field) {}
  const Field& field() const { return field_; }

 protected:
  void Call(DISPID id, std::vector<VARIANT*>&, VARIANT* result) override {
    Return(id == DISPID_VALUE ? field_.Value() : Variant::String(field_.Name()), result);
  }

 private:
  std::shared_ptr<Recordset> rows_;  // keeps the field's record set alive
  Field& field_;
};

class FieldsObject : public NamedObject {
 public:
  explicit FieldsObject(std::shared_ptr<Recordset> rows)
      : NamedObject({{L"Item", DISPID_VALUE}}), rows_(std::move(rows)) {}

 protected:
  void Call(DISPID, std::vector<VARIANT*>& args, VARIANT* result) override {
    if (args.size() != 1) throw err::runtime(err::kWrongArgumentCount);
    ReturnObject(new FieldObject(rows_, rows_->Fields(Text(args[0]))), result);
  }

 private:
  std::shared_ptr<Recordset> rows_;
};

class RecordsetObject : public NamedObject {
 public:
  enum : DISPID { kFields = 1, kEof, kMoveFirst, kMoveNext, kClose };
  explicit RecordsetObject(std::shared_ptr<Recordset> rows)
      : NamedObject({{L"Fields", kFields},
                     {L"EOF", kEof},
                     {L"MoveFirst", kMoveFirst},
                     {L"MoveNext", kMoveNext},
                     {L"Close", kClose}}),
        rows_(std::move(rows)) {}

 protected:
  void Call(DISPID id, std::vector<VARIANT*>& args, VARIANT* result) override {
    switch (id) {
      case kFields:
        if (args.empty()) return ReturnObject(new FieldsObject(rows_), result);
        return ReturnObject(new FieldObject(rows_, rows_->Fields(Text(args[0]))), result);
      case kEof:
        return Return(Variant::Boolean(rows_->Eof()), result);
      case kMoveFirst:
        return rows_->MoveFirst();
      case kMoveNext:
        return rows_->MoveNext();
      default:
        return rows_->Close();
    }
  }

 private:
  std::shared_ptr<Recordset> rows_;
};

class ConnectionObject : public NamedObject {
 public:
  enum : DISPID { kSql = 1, kCrearrs, kEjecutar };
  ConnectionObject(std::shared_ptr<HostConnection> connection, const Faults* faults,
                   StatementLog* log)
      : NamedObject({{L"sql", kSql}, {L"crearrs", kCrearrs}, {L"ejecutar", kEjecutar}}),
        connection_(std::move(connection)),
        faults_(faults),
        log_(log) {}

 protected:
  void Call(DISPID id, std::vector<VARIANT*>& args, VARIANT* result) override {
    if (id == kSql) {
      sql_ = Text(args.at(0));
      connection_->put_sql(sql_);
      if (log_ != nullptr && log_->entries.empty()) log_->first = Times::Now();
      return;
    }
    const bool query = id == kCrearrs;
    if (faults_ != nullptr && query && faults_->crearrs) {
      throw Failure(1001, "tabla bloqueada por otro usuario", "HostConnection");
    }
    if (faults_ != nullptr && !query && faults_->ejecutar) {
      throw Failure(1002, "sin permiso de escritura", "HostConnection");
    }
    if (query) {
      // The caller's variable, by reference to a variant or to an object: the record set is left
      // there, as a host does.
      VARIANT* variable = args.at(0);
      if (V_VT(variable) == (VT_BYREF | VT_VARIANT)) variable = V_VARIANTREF(variable);
      Variant rows;
      Return(connection_->crearrs(rows), result);
      auto object = new RecordsetObject(std::dynamic_pointer_cast<Recordset>(rows.asObject()));
      if (V_VT(variable) == (VT_BYREF | VT_DISPATCH)) {
        if (*V_DISPATCHREF(variable) != nullptr) (*V_DISPATCHREF(variable))->Release();
        *V_DISPATCHREF(variable) = object;
      } else {
        ::VariantClear(variable);
        ReturnObject(object, variable);
      }
    } else {
      Return(connection_->ejecutar(), result);
    }
    if (log_ != nullptr) {
      log_->entries.push_back({connection_.get(), sql_, query});
      log_->last = Times::Now();
    }
  }

 private:
  std::shared_ptr<HostConnection> connection_;
  const Faults* faults_;
  StatementLog* log_;
  std::string sql_;
};

class DamObject : public NamedObject {
 public:
  DamObject() : NamedObject({{L"getMidFormatbyEntity", 1}}) {}

 protected:
  void Call(DISPID, std::vector<VARIANT*>& args, VARIANT* result) override {
    if (args.size() != 4) throw err::runtime(err::kWrongArgumentCount);
    Return(Variant::String(manager_.getMidFormatbyEntity(Text(args[0]), Text(args[1]),
                                                         Text(args[2]), Text(args[3]))),
           result);
  }

 private:
  components::DamMain manager_;
};

class FormatObject : public NamedObject {
 public:
  FormatObject() : NamedObject({{L"EsNumero", 1}}) {}

 protected:
  void Call(DISPID, std::vector<VARIANT*>& args, VARIANT* result) override {
    const VARIANT* arg = args.at(0);
    if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) arg = V_VARIANTREF(arg);
    auto* field = V_VT(arg) == VT_DISPATCH ? dynamic_cast<FieldObject*>(V_DISPATCH(arg)) : nullptr;
    if (field == nullptr) throw err::runtime(err::kTypeMismatch);
    Return(format_.EsNumero(field->field()), result);
  }

 private:
  components::FormatMain format_;
};

class Factory : public win32::ComObject<IClassFactory> {
 public:
  explicit Factory(std::function<IDispatch*()> make) : make_(std::move(make)) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
    IDispatch* object = make_();
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    return IsEqualIID(iid, IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
  }

 private:
  std::function<IDispatch*()> make_;
};

void Register(const wchar_t* progId, const CLSID& classId, std::function<IDispatch*()> make) {
  wchar_t text[64];
  ::StringFromGUID2(classId, text, 64);
  HKEY key = nullptr;
  const std::wstring path = std::wstring(progId) + L"\\CLSID";
  ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
  ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  DWORD cookie = 0;
  ::CoRegisterClassObject(classId, new Factory(std::move(make)), CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie);
}

}  // namespace

Times Times::Now() {
  FILETIME created, ended, kernel, user;
  ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;
  };
  const auto clock = std::chrono::steady_clock::now().time_since_epoch();
  return {std::chrono::duration<double>(clock).count(), seconds(kernel) + seconds(user)};
}

IDispatch* NewConnectionObject(std::shared_ptr<HostConnection> connection, const Faults* faults,
                               StatementLog* log) {
  return new ConnectionObject(std::move(connection), faults, log);
}

IDispatch* RegisterHostComponents() {
  constexpr CLSID kDam = {
      0x5e1f0a01, 0x7c1d, 0x4a55, {0x9a, 0x10, 0x3b, 0x2d, 0x61, 0x7e, 0x00, 0x01}};
  constexpr CLSID kFormat = {
      0x5e1f0a01, 0x7c1d, 0x4a55, {0x9a, 0x10, 0x3b, 0x2d, 0x61, 0x7e, 0x00, 0x02}};
  Register(L"DataAccessManager.DAMMain", kDam, [] { return new DamObject(); });
  Register(L"cFORMAT.Main", kFormat, [] { return new FormatObject(); });
  return new DamObject();
}

}  // namespace oq::wintest
