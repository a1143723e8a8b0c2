// A Windows host of the component, as a COM client: it creates oQUARDELINO.cMAIN late-bound,
// hands it connection objects over real SQLite databases, and checks what a person's keys in the
// dialog leave in the databases, in the message boxes, in the log and in the registry.
//   test_host typelib DLL      the type library's names and ids, the DLL's entry points
//   test_host dialog FOLDER    full, three, LAPI and no-LAPI copies, and a refusing host object
//   test_host bench FOLDER     a filtered copy of 10,000 items: COM path against the statements
// Prints one line per failed check and, last, "<mode>: all checks passed"; exits 1 on a failure.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_databases.h"
#include "host/recordset.h"
#include "host_objects.h"
#include "oquardelino_h.h"
#include "platform/win32/wide_text.h"
#include "server/win32/com_failure.h"
#include "server/win32/com_text.h"
#include "server/win32/com_variant.h"
#include "server/win32/dispatch_caller.h"
#include "user.h"

namespace oq::wintest {
namespace {

int g_failures = 0;
void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::printf("FAIL: %s\n", what.c_str());
  ++g_failures;
}

// Calls a member of cMAIN by name, as a late-bound host does; by-reference arguments are passed
// as references to the host's own variants.
void CallByName(const win32::DispatchCaller& main, const char* name, VARIANT* argument = nullptr) {
  std::vector<VARIANT> args;
  if (argument != nullptr) {
    VARIANT reference;
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = argument;
    args.push_back(reference);
  }
  main.Call(name, DISPATCH_METHOD, args);
}

void SetObject(const win32::DispatchCaller& main, const char* name, IDispatch* object) {
  win32::ComVariant value;
  V_VT(value.get()) = VT_DISPATCH;
  V_DISPATCH(value.get()) = object;
  object->AddRef();
  CallByName(main, name, value.get());
}

void SetText(const win32::DispatchCaller& main, const char* name, const std::string& text,
             bool property = false) {
  win32::ComVariant value;
  V_VT(value.get()) = VT_BSTR;
  V_BSTR(value.get()) = win32::Bstr(text).Release();
  if (property) return main.Put(name, *value.get());
  CallByName(main, name, value.get());
}

Variant Scalar(HostConnection& db, const std::string& query) {
  db.put_sql(query);
  Variant rows;
  db.crearrs(rows);
  return std::dynamic_pointer_cast<Recordset>(rows.asObject())->Fields("v").Value();
}

std::string Setting(const std::string& key) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  const std::wstring name = win32::Wide(key);
  if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\TRELVO\\PROCESOS",
                     name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return {};
  }
  return win32::Narrow(value);
}

// The databases of the session: the demo internos and NCM databases, in `folder`.
struct Session {
  std::shared_ptr<sqlite::SqliteConnection> internos, ncm;
  win32::ComRef<IDispatch> internosObject, ncmObject, dam;
  Faults faults;
  StatementLog log;
  win32::DispatchCaller main;

  explicit Session(const std::filesystem::path& folder, bool logStatements = false)
      : main(Create().get()) {
    sqlite::OpenOptions options;
    options.createIfMissing = true;
    internos = sqlite::SqliteConnection::Open((folder / "internos.db").string(), options);
    ncm = sqlite::SqliteConnection::Open((folder / "ncm.db").string(), options);
    demo::CreateDemoDatabases(*internos, Dialect::kSqlite, *ncm, Dialect::kSqlite, true);
    internosObject = win32::ComRef<IDispatch>::Adopt(
        NewConnectionObject(internos, &faults, logStatements ? &log : nullptr));
    ncmObject = win32::ComRef<IDispatch>::Adopt(
        NewConnectionObject(ncm, nullptr, logStatements ? &log : nullptr));
    dam = win32::ComRef<IDispatch>::Adopt(RegisterHostComponents());
    SetObject(main, "setConexionAInternos", internosObject.get());
    SetObject(main, "setConexionANcm", ncmObject.get());
    win32::ComVariant manager;
    V_VT(manager.get()) = VT_DISPATCH;
    V_DISPATCH(manager.get()) = dam.get();
    dam->AddRef();
    CallByName(main, "GetDataAccessManager", manager.get());
    SetText(main, "setFechaActualDeInternos", "'2024-05-17'");
    SetText(main, "Numero_Interno", "2024-0101", true);
  }

  static win32::ComRef<IDispatch> Create() {
    CLSID classId;
    win32::ComRef<IDispatch> object;
    if (FAILED(::CLSIDFromProgID(L"oQUARDELINO.cMAIN", &classId)) ||
        FAILED(::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(object.Receive())))) {
      throw std::runtime_error("oQUARDELINO.cMAIN cannot be created: is it registered?");
    }
    return object;
  }

  // Mostrar on this thread while `user` plays the person at the keyboard on another.
  void Show(const std::function<void()>& user) {
    std::thread person([&user] {
      if (User::WaitForForm()) user();
    });
    try {
      CallByName(main, "Mostrar");
    } catch (...) {
      person.join();
      throw;
    }
    person.join();
  }
};

// One showing: the new number, the copies, how many times Down moves off opTodos, and what the
// rows, the boxes and the log must show afterwards.
struct Copy {
  const char* what;
  std::string number;
  std::string copies;
  int downs;
  std::vector<std::pair<std::string, int>> items;  // interno, items expected
  const char* fob;                                 // fobdivisas of the new cover sheet, or null
};

void RunCopy(Session& session, const Copy& copy) {
  std::vector<std::string> boxes;
  std::string log;
  session.Show([&] {
    User::Xdotool("key Tab Home shift+End");  // txtCopias
    User::Xdotool("type " + copy.copies);
    User::Xdotool("key Tab Home shift+End");  // Text1
    User::Xdotool("type " + copy.number);
    User::Xdotool("key Tab");  // the option group, on opTodos
    for (int i = 0; i < copy.downs; ++i) User::Xdotool("key Down");
    User::Xdotool("key F11");
    for (std::string box = User::AcknowledgeBox(60); !box.empty();
         box = User::AcknowledgeBox(1.5)) {
      boxes.push_back(box);
      if (box == "Fin del Proceso") break;
    }
    log = User::LogText();
    User::Xdotool("key Escape");
  });
  const std::string what = std::string(copy.what) + ": ";
  Check(boxes == std::vector<std::string>{"Fin del Proceso"},
        what + "one box, Fin del Proceso; got " + std::to_string(boxes.size()) + " boxes" +
            (boxes.empty() ? "" : ", first: " + boxes[0]));
  Check(log.ends_with("Proceso terminado..."), what + "log ends the run, got: " + log);
  for (const auto& [interno, count] : copy.items) {
    const Variant items = Scalar(
        *session.internos, "select count(*) as v from subitems where interno = '" + interno + "'");
    Check(items.toInt64() == count, what + interno + " has " + std::to_string(count) +
                                        " items, got " + std::to_string(items.toInt64()));
    Check(Setting(interno) == "SI", what + "setting " + interno + " = SI");
  }
  if (copy.fob != nullptr) {
    const Variant fob = Scalar(*session.internos,
                               "select printf('%.2f', fobdivisas) as v from caratula "
                               "where interno = '" +
                                   copy.number + "'");
    Check(fob.isString() && fob.asString() == copy.fob, what + "fobdivisas " + copy.fob);
  }
}

// A host object that refuses the statement: the box shows the host's own number and text.
void RunRefused(Session& session, bool inCrearrs, const std::string& expected) {
  session.faults = Faults{inCrearrs, !inCrearrs};
  std::string box;
  session.Show([&] {
    User::Xdotool("key Tab Tab Home shift+End");
    User::Xdotool("type R-1");
    User::Xdotool("key F11");
    box = User::AcknowledgeBox(30);
    while (!User::AcknowledgeBox(1.5).empty()) {
    }
    User::Xdotool("key Escape");
  });
  session.faults = Faults{};
  Check(box.starts_with(expected), "refused " + std::string(inCrearrs ? "crearrs" : "ejecutar") +
                                       ": box starts with '" + expected + "', got: " + box);
}

// _cMAIN as the registered type library describes it, member by member in function-table order.
void TypeLibraryTests() {
  ITypeLib* library = nullptr;
  Check(SUCCEEDED(::LoadRegTypeLib(LIBID_oQUARDELINO, 1, 0, 0, &library)),
        "type library 1.0 registered");
  if (library == nullptr) return;
  BSTR name = nullptr;
  library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  Check(win32::FromBstr(name) == "oQUARDELINO", "library name");
  ::SysFreeString(name);
  ITypeInfo* dispatch = nullptr;
  ITypeInfo* info = nullptr;
  HREFTYPE vtable = 0;
  library->GetTypeInfoOfGuid(IID__cMAIN, &dispatch);
  dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);  // a dual's function table
  dispatch->GetRefTypeInfo(vtable, &info);
  TYPEATTR* attributes = nullptr;
  info->GetTypeAttr(&attributes);
  const WORD flags =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  Check((attributes->wTypeFlags & flags) == flags,
        "_cMAIN is hidden, dual, non-extensible, automation");
  struct Expected {
    const char* name;
    MEMBERID id;
    INVOKEKIND kind;
    const char* parameter;  // null: none
    VARTYPE type;           // the parameter's type; VT_PTR for a by-reference one
    VARTYPE pointee;
  };
  const Expected members[] = {
      {"Numero_Interno", 0x68030001, INVOKE_PROPERTYPUT, "p_Numero", VT_PTR, VT_BSTR},
      {"GetDataAccessManager", 0x60030002, INVOKE_FUNC, "p_DAM", VT_PTR, VT_VARIANT},
      {"Mostrar", 0x60030003, INVOKE_FUNC, nullptr, VT_EMPTY, VT_EMPTY},
      {"setConexionAInternos", 0x60030004, INVOKE_FUNC, "p_Conn", VT_PTR, VT_DISPATCH},
      {"setFechaActualDeInternos", 0x60030005, INVOKE_FUNC, "p_Conn", VT_PTR, VT_BSTR},
      {"setConexionANcm", 0x60030006, INVOKE_FUNC, "p_Conn", VT_PTR, VT_DISPATCH},
      {"pLenMaxInterno", 0x68030000, INVOKE_PROPERTYGET, "pLenMaxInterno", VT_PTR, VT_I4},
      {"pLenMaxInterno", 0x68030000, INVOKE_PROPERTYPUT, "lLenMaxInterno", VT_I4, VT_EMPTY},
  };
  Check(attributes->cFuncs == 8, "_cMAIN has 8 members of its own");
  for (UINT i = 0; i < 8 && i < attributes->cFuncs; ++i) {
    const Expected& want = members[i];
    FUNCDESC* function = nullptr;
    info->GetFuncDesc(i, &function);
    BSTR names[2] = {};
    UINT count = 0;
    info->GetNames(function->memid, names, 2, &count);
    const std::string what = "member " + std::to_string(i + 1) + " " + want.name;
    Check(win32::FromBstr(names[0]) == want.name,
          what + ": name, got " + win32::FromBstr(names[0]));
    Check(function->memid == want.id && function->invkind == want.kind, what + ": id and kind");
    Check(function->oVft == static_cast<SHORT>((7 + i) * sizeof(void*)),
          what + ": function-table slot");
    const bool takesOne = want.parameter != nullptr;
    Check(function->cParams == (takesOne ? 1 : 0), what + ": parameter count");
    if (takesOne && function->cParams == 1) {
      const TYPEDESC& type = function->lprgelemdescParam[0].tdesc;
      // GetNames gives no name for a property put's value, by its own contract.
      Check(want.kind == INVOKE_PROPERTYPUT ||
                (count == 2 && win32::FromBstr(names[1]) == want.parameter),
            what + ": parameter name, got " + win32::FromBstr(names[1]));
      Check(type.vt == want.type && (type.vt != VT_PTR || type.lptdesc->vt == want.pointee),
            what + ": parameter type");
    }
    for (BSTR n : names) ::SysFreeString(n);
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  info->Release();
  dispatch->Release();

  ITypeInfo* coclass = nullptr;
  library->GetTypeInfoOfGuid(CLSID_cMAIN, &coclass);
  Check(coclass != nullptr, "coclass cMAIN in the library");
  if (coclass != nullptr) {
    coclass->GetTypeAttr(&attributes);
    Check((attributes->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, "cMAIN is creatable");
    coclass->ReleaseTypeAttr(attributes);
    coclass->Release();
  }
  library->Release();
}

// The entry points as COM calls them: another class id is refused, and the module may unload
// only when no object is alive.
void EntryPointTests(const std::string& path) {
  HMODULE dll = ::LoadLibraryW(win32::Wide(path).c_str());
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
  if (getClassObject == nullptr || canUnloadNow == nullptr)
    return Check(false, "entry points exported");
  void* object = nullptr;
  Check(getClassObject(IID_IDispatch, IID_IClassFactory, &object) == CLASS_E_CLASSNOTAVAILABLE,
        "DllGetClassObject refuses another class");
  Check(canUnloadNow() == S_OK, "DllCanUnloadNow with nothing alive");
  IClassFactory* factory = nullptr;
  getClassObject(CLSID_cMAIN, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  Check(factory != nullptr && canUnloadNow() == S_FALSE, "the class factory keeps the module");
  IDispatch* main = nullptr;
  if (factory != nullptr)
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&main));
  if (factory != nullptr) factory->Release();
  Check(main != nullptr && canUnloadNow() == S_FALSE, "a cMAIN keeps the module");
  if (main != nullptr) main->Release();
  Check(canUnloadNow() == S_OK, "DllCanUnloadNow once everything is released");
}

void DialogTests(const std::filesystem::path& folder) {
  Session session(folder);
  // The demo interno 2024-0101: 25 items, 10 of them under a licence-marked position and 8
  // under an unmarked one, whose FOB add up to these totals.
  const Copy copies[] = {
      {"full copy", "W-1", "1", 0, {{"W-1", 25}}, nullptr},
      {"three copies", "W-3", "3", 0, {{"W-3_1", 25}, {"W-3_2", 25}, {"W-3_3", 25}}, nullptr},
      {"con LAPI", "W-CON", "1", 1, {{"W-CON", 10}}, "62238.54"},
      {"sin LAPI", "W-SIN", "1", 2, {{"W-SIN", 8}}, "84288.92"},
  };
  for (const Copy& copy : copies) RunCopy(session, copy);
  RunRefused(session, true, "1001 - tabla bloqueada por otro usuario");
  RunRefused(session, false, "1002 - sin permiso de escritura");
}

// A filtered copy of 10,000 items through the COM path (cMAIN calling the test host's objects),
// against the same statements sent straight to the test host's connections.
void Bench(const std::filesystem::path& folder) {
  Session session(folder, true);
  HostConnection& db = *session.internos;
  const char* const setup[] = {
      "create temp table c as select * from caratula where interno = '2024-0101'",
      "update c set interno = 'BENCH'",
      "insert into caratula select * from c",
      "create temp table s as select * from subitems where interno = '2024-0101'",
      "update s set interno = 'BENCH', id = null",
      "insert into subitems select s.* from s, (with recursive n(i) as (select 1 union all "
      "select i + 1 from n where i < 400) select i from n)",
  };
  for (const char* statement : setup) {
    db.put_sql(statement);
    db.ejecutar();
  }
  const std::filesystem::path replayFile = folder / "replay.db";
  db.put_sql("vacuum into '" + replayFile.string() + "'");
  db.ejecutar();
  SetText(session.main, "Numero_Interno", "BENCH", true);
  std::string box;
  session.Show([&] {
    User::Xdotool("key Tab Tab Home shift+End");
    User::Xdotool("type B-CON");
    User::Xdotool("key Tab Down F11");
    box = User::AcknowledgeBox(600);
    User::Xdotool("key Escape");
  });
  const StatementLog& log = session.log;
  const Times viaCom = log.last - log.first;

  auto replay = sqlite::SqliteConnection::Open(replayFile.string());
  const Times start = Times::Now();
  for (const StatementLog::Entry& entry : log.entries) {
    HostConnection& target = entry.connection == session.ncm.get() ? *session.ncm : *replay;
    target.put_sql(entry.sql);
    if (entry.query) {
      Variant rows;
      target.crearrs(rows);
    } else {
      target.ejecutar();
    }
  }
  const Times direct = Times::Now() - start;
  const Variant items = Scalar(db, "select count(*) as v from subitems where interno = 'B-CON'");
  Check(box == "Fin del Proceso", "the run ends with Fin del Proceso, got: " + box);
  Check(items.toInt64() == 4000,
        "4,000 of the 10,000 items carry the mark, got " + std::to_string(items.toInt64()));
  std::printf(
      "bench: filtered copy (con LAPI) of 10000 items through COM against the same %zu statements "
      "straight to the connections: clock %.2f s / %.2f s, ratio %.2f x; processor %.2f s / "
      "%.2f s, ratio %.2f x\n",
      log.entries.size(), viaCom.clock, direct.clock, viaCom.clock / direct.clock, viaCom.processor,
      direct.processor, viaCom.processor / direct.processor);
}

}  // namespace
}  // namespace oq::wintest

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: test_host typelib DLL | dialog FOLDER | bench FOLDER\n");
    return 2;
  }
  const std::string mode = argv[1];
  ::CoInitialize(nullptr);
  try {
    if (mode == "typelib") {
      oq::wintest::TypeLibraryTests();
      oq::wintest::EntryPointTests(argv[2]);
    }
    if (mode == "dialog") oq::wintest::DialogTests(argv[2]);
    if (mode == "bench") oq::wintest::Bench(argv[2]);
  } catch (const oq::Failure& failure) {
    oq::wintest::Check(
        false, "failure " + std::to_string(failure.number()) + ": " + failure.description());
  } catch (const std::exception& error) {
    oq::wintest::Check(false, error.what());
  }
  ::CoUninitialize();
  if (oq::wintest::g_failures != 0) {
    std::printf("%s: %d checks failed\n", mode.c_str(), oq::wintest::g_failures);
    return 1;
  }
  std::printf("%s: all checks passed\n", mode.c_str());
  return 0;
}
