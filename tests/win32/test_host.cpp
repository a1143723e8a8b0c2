// test_host DLL FOLDER: a COM client of the DLL under Wine, copying through the real window over
// SQLite databases made in FOLDER. Prints each failed check, then "test_host: all checks passed".
#include <windows.h>

#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

#include "host/failure.h"
#include "oquardelino_h.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform_port.h"
#include "session.h"

namespace oq::wintest {
namespace {

int g_failures = 0;
void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::printf("FAIL: %s\n", what.c_str());
  ++g_failures;
}
// The failure `call` throws, as "number - description"; "none" when it throws none.
std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return std::to_string(failure.number()) + " - " + failure.description();
  }
  return "none";
}

// The registered type library gives each member of _cMAIN the dispatch id hosts are bound to.
void TypeLibraryTests() {
  const std::pair<const wchar_t*, DISPID> members[] = {{L"Numero_Interno", 0x68030001},
                                                       {L"GetDataAccessManager", 0x60030002},
                                                       {L"Mostrar", 0x60030003},
                                                       {L"setConexionAInternos", 0x60030004},
                                                       {L"setFechaActualDeInternos", 0x60030005},
                                                       {L"setConexionANcm", 0x60030006},
                                                       {L"pLenMaxInterno", 0x68030000}};
  win32::ComRef<ITypeLib> library;
  win32::ComRef<ITypeInfo> info;
  if (FAILED(::LoadRegTypeLib(LIBID_oQUARDELINO, 1, 0, 0, library.Receive())) ||
      FAILED(library->GetTypeInfoOfGuid(IID__cMAIN, info.Receive()))) {
    return Check(false, "type library 1.0 registered, with _cMAIN");
  }
  for (auto [name, expected] : members) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    info->GetIDsOfNames(names, 1, &id);
    Check(id == expected, win32::Narrow(name) + " has dispatch id " + std::to_string(id));
  }
}

// The entry points as COM calls them: another class id is refused, and the module may unload
// only when no object of it is alive.
void EntryPointTests(const std::string& path) {
  HMODULE dll = ::LoadLibraryW(win32::Wide(path).c_str());
  const auto entry = [dll](const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(dll, name));
  };
  const auto getClassObject =
      reinterpret_cast<decltype(&::DllGetClassObject)>(entry("DllGetClassObject"));
  const auto canUnloadNow =
      reinterpret_cast<decltype(&::DllCanUnloadNow)>(entry("DllCanUnloadNow"));
  if (getClassObject == nullptr || canUnloadNow == nullptr) return Check(false, "entry points");
  win32::ComRef<IClassFactory> factory;
  win32::ComRef<IDispatch> main;
  const auto classObject = [&](REFCLSID id) {
    return getClassObject(id, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive()));
  };
  Check(classObject(IID_IDispatch) == CLASS_E_CLASSNOTAVAILABLE && canUnloadNow() == S_OK &&
            classObject(CLSID_cMAIN) == S_OK && canUnloadNow() == S_FALSE,
        "another class is refused; a factory, and only then, keeps the module");
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(main.Receive()));
  factory = {};
  Check(main && canUnloadNow() == S_FALSE, "a cMAIN keeps the module");
  main = {};
  Check(canUnloadNow() == S_OK, "DllCanUnloadNow once everything is released");
}

// crearrs fails through EXCEPINFO (1001), the error object (1003) or a bare DISP_E_DIVBYZERO
// (11); ejecutar fails with 1002; 0: nothing fails.
long g_refused = 0;
long g_busy = 0;  // statements a run sent while the screen showed the busy pointer
// 46 characters, no key twice in a row: the presses of a repeated key may run together.
const std::string kTyped = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghij";

struct RefusingConnection : HostConnection {
  std::shared_ptr<HostConnection> db;
  explicit RefusingConnection(std::shared_ptr<HostConnection> inner) : db(std::move(inner)) {}
  void put_sql(const std::string& text) override { db->put_sql(text); }
  Variant crearrs(Variant& rows) override {
    if (g_refused == 1001)
      throw Failure(1001, "tabla bloqueada por otro usuario", "HostConnection");
    if (g_refused == 1003) throw Failure(1003, "licencia vencida", "IErrorInfo");
    if (g_refused == 11) throw Failure(static_cast<std::int32_t>(DISP_E_DIVBYZERO), "");
    return db->crearrs(rows);
  }
  Variant ejecutar() override {
    if (g_refused == 1002) throw Failure(1002, "sin permiso de escritura", "HostConnection");
    g_busy += ::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT);
    return db->ejecutar();
  }
};

std::string Setting(const std::string& key) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  ::RegGetValueW(HKEY_CURRENT_USER, win32::SettingsKey("TRELVO", "PROCESOS").c_str(),
                 win32::Wide(key).c_str(), RRF_RT_REG_SZ, nullptr, value, &size);
  return win32::Narrow(value);
}

// One showing with pLenMaxInterno `limit`: copies and new number typed, `options` pressed off
// opTodos (Down: con LAPI), F11; then the first box, the pointers and what the run made.
struct Copy {
  long limit;
  std::string copies, number, options;
  long refused;
  std::string box;  // the first box, its style then its text, starts with it
  std::vector<std::pair<std::string, std::string>> made;  // interno, "items fobdivisas"
};

void DialogTests(const std::filesystem::path& folder) {
  Session session(folder, [](std::shared_ptr<HostConnection> db) {
    return std::make_shared<RefusingConnection>(std::move(db));
  });
  // The demo interno 2024-0101: 25 items, 10 of them under a licence-marked position and 8
  // under an unmarked one, whose FOB add up to these totals.
  const std::string end = "64 Fin del Proceso", all = "25 156641.90", long39 = kTyped.substr(0, 39);
  const Copy copies[] = {
      {0, "1", "W-1", "", 0, end, {{"W-1", all}}},
      {0, "3", "W-3", "", 0, end, {{"W-3_1", all}, {"W-3_2", all}, {"W-3_3", all}}},
      {0, "1", "W-CON", " Down", 0, end, {{"W-CON", "10 62238.54"}}},
      {0, "1", "W-SIN", " Down Down", 0, end, {{"W-SIN", "8 84288.92"}}},
      {5, "1", "LIMIT-XYZ", "", 0, end, {{"LIMIT", all}}},
      {0, "2", "", "", 0, "48 Para crear Autom\xC3\xA1ticamente varias copias", {}},
      {0, "1", "R-1", "", 1001, "16 1001 - tabla bloqueada por otro usuario", {}},
      {0, "1", "R-1", "", 1003, "16 1003 - licencia vencida", {}},
      {0, "1", "R-1", "", 11, "16 11 - Division by zero", {}},
      {0, "1", "R-1", " Down", 1002, "0 Error 1002 (sin permiso de escritura", {}},
  };
  for (const Copy& copy : copies) {
    g_refused = copy.refused;
    g_busy = 0;
    session.Call("pLenMaxInterno", Variant::Long(copy.limit), true);
    // No number typed: F11 on the proposed one, a source number of 39 characters.
    session.Call("Numero_Interno", Variant::String(copy.number.empty() ? long39 : "2024-0101"),
                 true);
    std::vector<std::string> keys = {"key Tab Home shift+End", "type " + copy.copies, "key Tab"};
    if (!copy.number.empty())
      keys.insert(keys.end(), {"key Home shift+End", "type " + copy.number});
    keys.push_back("key Tab" + copy.options + " F11");
    const Showing shown = Show(session.main, keys);
    const std::string what = copy.copies + " x " + copy.number + ": ";
    const std::string first =
        shown.boxes.empty() ? "none"
                            : std::to_string(shown.boxes[0].style) + " " + shown.boxes[0].text;
    Check(first.starts_with(copy.box) &&
              (copy.box != end ||
               (shown.boxes.size() == 1 && shown.log.ends_with("Proceso terminado..."))),
          what + "Text1 " + shown.number + ", first box " + first);
    Check((g_busy > 0) == (copy.copies == "3") &&
              (copy.copies == "2" || ::GetCursor() == ::LoadCursorW(nullptr, IDC_ARROW)),
          what + "the busy pointer during several copies only, the arrow after the run");
    for (const auto& [interno, expected] : copy.made) {
      const Variant got = session.Scalar(
          "select (select count(*) from subitems where interno = c.interno) || ' ' || "
          "printf('%.2f', fobdivisas) as v from caratula c where interno = '" +
          interno + "'");
      const std::string text = got.isString() ? got.asString() : "nothing";
      Check(text == expected && Setting(interno) == "SI",
            what + interno + ": " + text + ", mark '" + Setting(interno) + "'");
    }
  }
  // A host component whose class refuses to make the object: its own failure reaches the client.
  g_refuseCreation = true;
  const std::string refused = FailureOf([&] { session.Call("GetDataAccessManager", Variant()); });
  Check(refused == "1004 - licencia del componente vencida",
        "the manager's own failure: " + refused);
  g_refuseCreation = false;
}

// Another thread has its own state: Text1 empty, taking 40 characters; the host components'
// classes live in the first thread's apartment, so there the manager cannot be made (429).
void SecondThreadTests() {
  Showing shown;
  std::string refused;
  std::thread([&] {
    ::CoInitialize(nullptr);
    {
      const win32::DispatchCaller main(CreateMain().get());
      std::vector<VARIANT> none(1);
      refused = FailureOf([&] { main.Call("GetDataAccessManager", DISPATCH_METHOD, none); });
      shown = Show(main, {"key Tab Tab", "type " + kTyped});
    }
    ::CoUninitialize();
  }).join();
  Check(shown.number == kTyped.substr(0, 40), "second thread: Text1 '" + shown.number + "'");
  Check(refused == "429 - ActiveX component can't create object", "second thread: " + refused);
}

// After COM is shut down and started again, copies find the record-set class anew (ours here).
void ComRestartTests(const std::filesystem::path& folder) {
  ::CoUninitialize();
  ::CoInitialize(nullptr);
  RegisterOwnRecordsetClass();
  std::filesystem::create_directories(folder);
  Session session(folder);
  const Showing shown =
      Show(session.main, {"key Tab Tab Home shift+End", "type RESTART", "key Tab F11"});
  Check(!shown.boxes.empty() && shown.boxes[0].text == "Fin del Proceso" && g_ownRecordsets > 0,
        "after CoUninitialize: a copy with record sets of the class registered now, got " +
            std::to_string(g_ownRecordsets));
}

}  // namespace
}  // namespace oq::wintest

int main(int argc, char** argv) {
  if (argc != 3) return std::printf("usage: test_host DLL FOLDER\n"), 2;
  ::CoInitialize(nullptr);
  const std::string failure = oq::wintest::FailureOf([&] {
    oq::wintest::TypeLibraryTests();
    oq::wintest::EntryPointTests(argv[1]);
    oq::wintest::DialogTests(argv[2]);
    oq::wintest::SecondThreadTests();
    oq::wintest::ComRestartTests(std::filesystem::path(argv[2]) / "restart");
  });
  oq::wintest::Check(failure == "none", "failure " + failure);
  ::CoUninitialize();
  std::printf("test_host: %s\n", oq::wintest::g_failures == 0 ? "all checks passed" : "FAILED");
  return oq::wintest::g_failures == 0 ? 0 : 1;
}
