#include "session.h"

#include <process.h>

#include <chrono>
#include <thread>

#include "connectors/components/dam_main.h"
#include "connectors/components/format_main.h"
#include "demo/demo_databases.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_text.h"
#include "server/win32/com_variant.h"

namespace oq::wintest {
namespace {

constexpr auto kBeat = std::chrono::milliseconds(50);
using Args = std::vector<VARIANT*>;  // in the member's order
using Member = std::pair<const wchar_t*, std::function<Variant(Args&)>>;

// A host's automation object: members found by name (the first is the default one). A Failure one
// throws reaches the caller through EXCEPINFO; with source "IErrorInfo" through its result and the
// error object; with no text as a bare result. Given `make`, it is a class object too.
class HostObject : public win32::ComObject<IDispatch, IClassFactory, ISupportErrorInfo> {
 public:
  explicit HostObject(std::vector<Member> members, const Field* read = nullptr)
      : field(read), members_(std::move(members)) {}
  const Field* const field;  // what a field object reads, for EsNumero
  HostObject* (*make)() = nullptr;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    ids[0] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (_wcsicmp(members_[i].first, names[0]) == 0) ids[0] = static_cast<DISPID>(i);
    }
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    Args args;
    for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
    try {
      const Variant value = members_.at(static_cast<std::size_t>(id)).second(args);
      if (result != nullptr) win32::ToVariant(value, result);
      return S_OK;
    } catch (const Failure& failure) {
      if (failure.description().empty()) return win32::ResultOf(failure);
      if (failure.source() == "IErrorInfo") return win32::Guarded([&] { throw failure; });
      *info = EXCEPINFO{};
      info->bstrSource = win32::Bstr(failure.source()).Release();
      info->bstrDescription = win32::Bstr(failure.description()).Release();
      info->scode = win32::ResultOf(failure);
      return DISP_E_EXCEPTION;
    }
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
    if (g_refuseCreation) {
      return win32::Guarded([] { throw Failure(1004, "licencia del componente vencida"); });
    }
    return win32::ComRef<HostObject>::Adopt(make())->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
    if (IsEqualIID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
    return make && IsEqualIID(iid, IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
  }

 private:
  std::vector<Member> members_;
};

// A new host object as a value, its reference handed over.
Variant Handed(HostObject* object) {
  Variant value = Variant::Object(std::make_shared<win32::DispatchObject>(object));
  object->Release();
  return value;
}

std::string Text(const VARIANT* value) { return win32::FromVariant(*value).asString(); }

// A record set as ADO's: Fields, its Item (the default) and Value, EOF, MoveFirst, MoveNext, Close.
Variant RecordsetObject(const std::shared_ptr<Recordset>& rows) {
  const auto item = [rows](Args& args) {
    Field& field = rows->Fields(Text(args.at(0)));
    return Handed(
        new HostObject({{L"Value", [rows, &field](Args&) { return field.Value(); }}}, &field));
  };
  const auto fields = [item](Args&) { return Handed(new HostObject({{L"Item", item}})); };
  return Handed(new HostObject({
      {L"Fields", fields},
      {L"EOF", [rows](Args&) { return Variant::Boolean(rows->Eof()); }},
      {L"MoveFirst", [rows](Args&) { return rows->MoveFirst(), Variant(); }},
      {L"MoveNext", [rows](Args&) { return rows->MoveNext(), Variant(); }},
      {L"Close", [rows](Args&) { return rows->Close(), Variant(); }},
  }));
}

// A host's connection object: sql, then crearrs (into the caller's variable) or ejecutar.
Variant ConnectionObject(const std::shared_ptr<HostConnection>& db) {
  return Handed(new HostObject({
      {L"sql", [db](Args& args) { return db->put_sql(Text(args.at(0))), Variant(); }},
      {L"crearrs",
       [db](Args& args) {
         if (V_VT(args.at(0)) != (VT_BYREF | VT_VARIANT)) throw err::runtime(err::kTypeMismatch);
         Variant rows;
         const Variant found = db->crearrs(rows);
         ::VariantClear(V_VARIANTREF(args[0]));
         win32::ToVariant(RecordsetObject(std::dynamic_pointer_cast<Recordset>(rows.asObject())),
                          V_VARIANTREF(args[0]));
         return found;
       }},
      {L"ejecutar", [db](Args&) { return db->ejecutar(); }},
  }));
}

HostObject* DamObject() {
  return new HostObject({{L"getMidFormatbyEntity", [](Args& a) {
                            return Variant::String(components::DamMain().getMidFormatbyEntity(
                                Text(a.at(0)), Text(a.at(1)), Text(a.at(2)), Text(a.at(3))));
                          }}});
}

// EsNumero, given one of our field objects.
Variant EsNumero(Args& args) {
  const auto* object =
      V_VT(args.at(0)) == VT_DISPATCH ? dynamic_cast<HostObject*>(V_DISPATCH(args[0])) : nullptr;
  if (object == nullptr || object->field == nullptr) throw err::runtime(err::kTypeMismatch);
  return components::FormatMain().EsNumero(*object->field);
}
HostObject* FormatObject() { return new HostObject({{L"EsNumero", EsNumero}}); }

// A host component creatable by its name in this process, as an installed one is.
void Register(const wchar_t* progId, const wchar_t* classId, HostObject* (*make)()) {
  CLSID id;
  DWORD cookie = 0;
  ::CLSIDFromString(classId, &id);
  ::RegSetValueW(HKEY_CLASSES_ROOT, (std::wstring(progId) + L"\\CLSID").c_str(), REG_SZ, classId,
                 0);
  HostObject* factory = new HostObject({});
  factory->make = make;
  ::CoRegisterClassObject(id, static_cast<IClassFactory*>(factory), CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie);
}

template <typename Find>
HWND Poll(double seconds, Find find) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    if (HWND window = find(); window != nullptr && ::IsWindowVisible(window)) return window;
    std::this_thread::sleep_for(kBeat);
  } while (std::chrono::steady_clock::now() < end);
  return nullptr;
}
HWND Form() { return ::FindWindowW(L"oQUARDELINO.frmMAIN", nullptr); }
HWND Box() { return ::FindWindowW(L"#32770", L"oQUARDELINO"); }

std::string Text(HWND window) {
  wchar_t text[4096] = {};
  return win32::Narrow(text, static_cast<std::size_t>(::GetWindowTextW(window, text, 4096)));
}

void Xdotool(const std::string& arguments) {
  // With no window manager the X focus may rest on no window once a box has gone, so the keys go
  // to the X window Wine drew the front window in: the box when one is up, else the form.
  const HANDLE xid =
      ::GetPropW(::IsWindowVisible(Box()) ? Box() : Form(), L"__wine_x11_whole_window");
  const std::string focus =
      xid ? "windowfocus --sync " + std::to_string(reinterpret_cast<std::uintptr_t>(xid)) + " "
          : "";
  // Wine starts a Unix program given by its path on the Z: drive, splitting its command line.
  ::_spawnl(_P_WAIT, "Z:\\usr\\bin\\xdotool", "xdotool", (focus + arguments).c_str(), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the keys reach the window
}

// A message box's icon as the style that asks for it; 0 for none.
int IconStyle(HWND box) {
  const std::pair<LPCWSTR, int> icons[] = {
      {IDI_HAND, 16}, {IDI_EXCLAMATION, 48}, {IDI_ASTERISK, 64}};
  for (HWND child = nullptr; (child = ::FindWindowExW(box, child, L"Static", nullptr));) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    for (const auto& [name, style] : icons) {
      if (icon != nullptr && icon == ::LoadIconW(nullptr, name)) return style;
    }
  }
  return 0;
}

}  // namespace

void RegisterOwnRecordsetClass() {
  Register(L"ADODB.Recordset", L"{00000535-0000-0010-8000-00AA006D2EA4}", [] {
    ++g_ownRecordsets;
    return new HostObject({});
  });
}

win32::ComRef<IDispatch> CreateMain() {
  CLSID id{};
  win32::ComRef<IDispatch> main;
  ::CLSIDFromProgID(L"oQUARDELINO.cMAIN", &id);
  ::CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                     reinterpret_cast<void**>(main.Receive()));
  return main;
}

Showing Show(const win32::DispatchCaller& main, const std::vector<std::string>& keys,
             double seconds) {
  Showing shown;
  std::jthread person([&] {  // joined however Mostrar ends
    if (Poll(10, Form) == nullptr) return;
    std::this_thread::sleep_for(10 * kBeat);  // keys sent as the window maps may be lost
    for (const std::string& command : keys) Xdotool(command);
    for (HWND box; (box = Poll(seconds, Box)) != nullptr; seconds = 1.5) {
      shown.boxes.push_back({Text(::GetDlgItem(box, 0xFFFF)), IconStyle(box)});
      Xdotool("key Return");
      for (int i = 0; i < 100 && ::IsWindow(box); ++i) std::this_thread::sleep_for(kBeat);
      if (shown.boxes.back().text == "Fin del Proceso") break;
    }
    // The log is the multi-line edit; the new number the other one that takes more than one key.
    for (HWND edit = nullptr; (edit = ::FindWindowExW(Form(), edit, L"Edit", nullptr));) {
      const bool log = (::GetWindowLongW(edit, GWL_STYLE) & ES_MULTILINE) != 0;
      if (log || ::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0) != 1) {
        (log ? shown.log : shown.number) = Text(edit);
      }
    }
    Xdotool("key Escape");
  });
  std::vector<VARIANT> none;
  main.Call("Mostrar", DISPATCH_METHOD, none);
  person.join();
  return shown;
}

Session::Session(const std::filesystem::path& folder, const Wrap& wrap) : main(CreateMain().get()) {
  sqlite::OpenOptions options;
  options.createIfMissing = true;
  internos = sqlite::SqliteConnection::Open((folder / "internos.db").string(), options);
  ncm = sqlite::SqliteConnection::Open((folder / "ncm.db").string(), options);
  demo::CreateDemoDatabases(*internos, Dialect::kSqlite, *ncm, Dialect::kSqlite, true);
  Register(L"DataAccessManager.DAMMain", L"{5E1F0A01-7C1D-4A55-9A10-3B2D617E0001}", DamObject);
  Register(L"cFORMAT.Main", L"{5E1F0A01-7C1D-4A55-9A10-3B2D617E0002}", FormatObject);
  Call("setConexionAInternos", ConnectionObject(wrap ? wrap(internos) : internos));
  Call("setConexionANcm", ConnectionObject(wrap ? wrap(ncm) : ncm));
  Call("GetDataAccessManager", Handed(DamObject()));
  Call("setFechaActualDeInternos", Variant::String("'2024-05-17'"));
  Call("Numero_Interno", Variant::String("2024-0101"), true);
}

void Session::Call(const char* name, const Variant& value, bool property) const {
  win32::ComVariant argument;
  win32::ToVariant(value, argument.get());
  if (property) return main.Put(name, *argument.get());
  VARIANT reference;
  V_VT(&reference) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&reference) = argument.get();
  std::vector<VARIANT> args{reference};
  main.Call(name, DISPATCH_METHOD, args);
}

Variant Session::Scalar(const std::string& query) const {
  internos->put_sql(query);
  Variant rows;
  internos->crearrs(rows);
  return std::dynamic_pointer_cast<Recordset>(rows.asObject())->Fields("v").Value();
}

}  // namespace oq::wintest
