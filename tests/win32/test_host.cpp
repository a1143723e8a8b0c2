// A Windows host of the component as a COM client, run under Wine by scripts/test-windows.sh:
//   test_host DLL FOLDER   the registered type library and the DLL's entry points, then copies
//                          through the real window over SQLite databases made in FOLDER
// Prints one line per failed check and, last, "test_host: all checks passed"; exits 1 on a failure.
#include <windows.h>

#include <cstdio>
#include <utility>

#include "host/failure.h"
#include "oquardelino_h.h"
#include "platform/win32/wide_text.h"
#include "server/win32/com_text.h"
#include "session.h"

namespace oq::wintest {
namespace {

int g_failures = 0;
void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::printf("FAIL: %s\n", what.c_str());
  ++g_failures;
}

// The registered type library: its name; _cMAIN member by member in function-table order (a dual
// interface's slots follow IDispatch's seven): name, id, kind, slot, parameter count, then the
// first parameter's type (a VARTYPE, * for a pointer to one) and name; the creatable coclass.
void TypeLibraryTests() {
  // Kinds: 1 method, 2 property get, 4 property put. Types: 3 long, 8 BSTR, 9 IDispatch*,
  // 12 VARIANT. GetNames finds a property's getter by the id: a put's value has no name here.
  const std::vector<std::string> members = {
      "Numero_Interno 68030001 4 @7 1: 8* ",
      "GetDataAccessManager 60030002 1 @8 1: 12* p_DAM",
      "Mostrar 60030003 1 @9 0: 0 ",
      "setConexionAInternos 60030004 1 @10 1: 9* p_Conn",
      "setFechaActualDeInternos 60030005 1 @11 1: 8* p_Conn",
      "setConexionANcm 60030006 1 @12 1: 9* p_Conn",
      "pLenMaxInterno 68030000 2 @13 1: 3* pLenMaxInterno",
      "pLenMaxInterno 68030000 4 @14 1: 3 ",
  };
  win32::ComRef<ITypeLib> library;
  win32::ComRef<ITypeInfo> dispatch, info, coclass;
  BSTR names[2] = {};
  HREFTYPE vtable = 0;
  TYPEATTR *attributes = nullptr, *creatable = nullptr;
  if (FAILED(::LoadRegTypeLib(LIBID_oQUARDELINO, 1, 0, 0, library.Receive())))
    return Check(false, "type library 1.0 registered");
  library->GetDocumentation(-1, &names[0], nullptr, nullptr, nullptr);
  Check(win32::FromBstr(names[0]) == "oQUARDELINO", "library name");
  library->GetTypeInfoOfGuid(IID__cMAIN, dispatch.Receive());
  dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);  // a dual's function table
  dispatch->GetRefTypeInfo(vtable, info.Receive());
  info->GetTypeAttr(&attributes);
  const WORD flags =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  Check((attributes->wTypeFlags & flags) == flags, "_cMAIN is hidden, dual, non-extensible, OLE");
  Check(attributes->cFuncs == members.size(), "_cMAIN has 8 members of its own");
  for (UINT i = 0; i < members.size() && i < attributes->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    UINT count = 0;
    for (BSTR& name : names) ::SysFreeString(std::exchange(name, nullptr));
    info->GetFuncDesc(i, &f);
    info->GetNames(f->memid, names, 2, &count);
    const TYPEDESC none{}, &type = f->cParams > 0 ? f->lprgelemdescParam[0].tdesc : none;
    const bool named = count > 1 && f->invkind != INVOKE_PROPERTYPUT;
    char got[160];
    std::snprintf(got, sizeof got, "%s %lx %d @%u %d: %d%s %s", win32::FromBstr(names[0]).c_str(),
                  static_cast<unsigned long>(f->memid), static_cast<int>(f->invkind),
                  static_cast<unsigned>(f->oVft / sizeof(void*)), f->cParams,
                  type.vt == VT_PTR ? type.lptdesc->vt : type.vt, type.vt == VT_PTR ? "*" : "",
                  named ? win32::FromBstr(names[1]).c_str() : "");
    Check(got == members[i], "member " + std::to_string(i + 1) + ": " + got);
    info->ReleaseFuncDesc(f);
  }
  for (BSTR name : names) ::SysFreeString(name);
  info->ReleaseTypeAttr(attributes);
  library->GetTypeInfoOfGuid(CLSID_cMAIN, coclass.Receive());
  Check(coclass && SUCCEEDED(coclass->GetTypeAttr(&creatable)) &&
            (creatable->wTypeFlags & TYPEFLAG_FCANCREATE) != 0,
        "coclass cMAIN in the library, creatable");
  if (creatable != nullptr) coclass->ReleaseTypeAttr(creatable);
}

// The entry points as COM calls them: another class id is refused, and the module may unload
// only when no object of it is alive.
void EntryPointTests(const std::string& path) {
  HMODULE dll = ::LoadLibraryW(win32::Wide(path).c_str());
  const auto getClassObject = reinterpret_cast<decltype(&::DllGetClassObject)>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
  const auto canUnloadNow = reinterpret_cast<decltype(&::DllCanUnloadNow)>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
  if (getClassObject == nullptr || canUnloadNow == nullptr)
    return Check(false, "entry points exported");
  win32::ComRef<IClassFactory> factory;
  win32::ComRef<IDispatch> main;
  const auto classObject = [&](REFCLSID id) {
    return getClassObject(id, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive()));
  };
  Check(classObject(IID_IDispatch) == CLASS_E_CLASSNOTAVAILABLE, "another class is refused");
  Check(canUnloadNow() == S_OK, "DllCanUnloadNow with nothing alive");
  Check(classObject(CLSID_cMAIN) == S_OK && canUnloadNow() == S_FALSE,
        "a factory keeps the module");
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(main.Receive()));
  factory = {};
  Check(main && canUnloadNow() == S_FALSE, "a cMAIN keeps the module");
  main = {};
  Check(canUnloadNow() == S_OK, "DllCanUnloadNow once everything is released");
}

long g_refused = 0;  // what the connection objects refuse: 1001 crearrs, 1002 ejecutar, 0 nothing

// A host's connection object that refuses statements with its own number and text.
struct RefusingConnection : HostConnection {
  std::shared_ptr<HostConnection> db;
  explicit RefusingConnection(std::shared_ptr<HostConnection> inner) : db(std::move(inner)) {}
  void put_sql(const std::string& text) override { db->put_sql(text); }
  Variant crearrs(Variant& rows) override {
    if (g_refused == 1001)
      throw Failure(1001, "tabla bloqueada por otro usuario", "HostConnection");
    return db->crearrs(rows);
  }
  Variant ejecutar() override {
    if (g_refused == 1002) throw Failure(1002, "sin permiso de escritura", "HostConnection");
    return db->ejecutar();
  }
};

std::string Setting(const std::string& key) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\TRELVO\\PROCESOS",
                 win32::Wide(key).c_str(), RRF_RT_REG_SZ, nullptr, value, &size);
  return win32::Narrow(value);
}

// One showing: the copies and the new number typed in, `options` pressed off opTodos (Down: con
// LAPI, Down Down: sin LAPI), F11; then the boxes, the log, the rows and the settings it leaves.
struct Copy {
  std::string copies, number, options;
  long refused;
  std::string box;  // the first box starts with it; a run not refused shows only it
  std::vector<std::pair<std::string, int>> items;  // interno, items expected
  const char* fob;                                 // fobdivisas of the new cover sheet, or null
};

void DialogTests(const std::filesystem::path& folder) {
  Session session(folder, [](std::shared_ptr<HostConnection> db) {
    return std::make_shared<RefusingConnection>(std::move(db));
  });
  // The demo interno 2024-0101: 25 items, 10 of them under a licence-marked position and 8
  // under an unmarked one, whose FOB add up to these totals.
  const std::string end = "Fin del Proceso";
  const Copy copies[] = {
      {"1", "W-1", "", 0, end, {{"W-1", 25}}, nullptr},
      {"3", "W-3", "", 0, end, {{"W-3_1", 25}, {"W-3_2", 25}, {"W-3_3", 25}}, nullptr},
      {"1", "W-CON", " Down", 0, end, {{"W-CON", 10}}, "62238.54"},
      {"1", "W-SIN", " Down Down", 0, end, {{"W-SIN", 8}}, "84288.92"},
      {"1", "R-1", "", 1001, "1001 - tabla bloqueada por otro usuario", {}, nullptr},
      {"1", "R-1", "", 1002, "1002 - sin permiso de escritura", {}, nullptr},
  };
  for (const Copy& copy : copies) {
    g_refused = copy.refused;
    const std::vector<std::string> shown =
        session.Show({"key Tab Home shift+End", "type " + copy.copies, "key Tab Home shift+End",
                      "type " + copy.number, "key Tab" + copy.options + " F11"});
    const std::string what = copy.copies + " x " + copy.number + ": ";
    Check(shown.size() >= 2 && (copy.refused ? shown[0].starts_with(copy.box)
                                             : shown.size() == 2 && shown[0] == copy.box &&
                                                   shown[1].ends_with("Proceso terminado...")),
          what + "boxes and log: " +
              (shown.empty() ? "none" : shown.front() + " ... " + shown.back()));
    for (const auto& [interno, count] : copy.items) {
      const Variant items =
          session.Scalar("select count(*) as v from subitems where interno = '" + interno + "'");
      Check(items.toInt64() == count, what + interno + " has " + std::to_string(items.toInt64()) +
                                          " items, not " + std::to_string(count));
      Check(Setting(interno) == "SI", what + "setting " + interno + " = SI");
    }
    if (copy.fob == nullptr) continue;
    const Variant fob =
        session.Scalar("select printf('%.2f', fobdivisas) as v from caratula where interno = '" +
                       copy.number + "'");
    Check(fob.isString() && fob.asString() == copy.fob, what + "fobdivisas " + copy.fob);
  }
}

}  // namespace
}  // namespace oq::wintest

int main(int argc, char** argv) {
  if (argc != 3) return std::printf("usage: test_host DLL FOLDER\n"), 2;
  ::CoInitialize(nullptr);
  try {
    oq::wintest::TypeLibraryTests();
    oq::wintest::EntryPointTests(argv[1]);
    oq::wintest::DialogTests(argv[2]);
  } catch (const oq::Failure& failure) {
    oq::wintest::Check(
        false, "failure " + std::to_string(failure.number()) + ": " + failure.description());
  } catch (const std::exception& error) {
    oq::wintest::Check(false, error.what());
  }
  ::CoUninitialize();
  std::printf("test_host: %s\n", oq::wintest::g_failures == 0 ? "all checks passed" : "FAILED");
  return oq::wintest::g_failures == 0 ? 0 : 1;
}
