#!/usr/bin/env bash
# Builds the Windows DLL (the 64-bit one, and the 32-bit one that 32-bit hosts need, which cannot
# run here) and runs its tests under Wine: a fresh Wine prefix on a virtual display, registration
# with regsvr32, a VBScript host, the C++ test host over SQLite driving the real window with
# xdotool, and the COM benchmark (bench/win32). Any failure fails the script.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"

if [ "${1:-}" != "--on-display" ]; then
  scripts/install-deps-windows.sh
  scripts/sqlite-amalgamation.sh build/sqlite-amalgamation
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  cmake --preset windows32 >/dev/null
  cmake --build --preset windows32 -j "$jobs"
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display
fi

build="$PWD/build/windows"
# No debugger: a crash must end the test, not wait for a person.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/oq-wine.XXXXXX")"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1
failed=0
fail() { echo "FAIL: $*"; failed=1; }
win() { winepath -w "$1"; }
class_key='HKCR\CLSID\{F0BEC779-FF07-4CC0-BA67-74DAC1C1954D}'
typelib_key='HKCR\TypeLib\{007D3885-642C-474F-A167-655A5E4077DC}\1.0\0\win64'

# The script host's dialog, driven from here. With no window manager the X focus may rest on no
# window once a message box has gone, so each key goes to a named window: the form found first,
# or a message box (the other visible window of that title).
windows() { xdotool search --onlyvisible --name '^oQUARDELINO$' 2>/dev/null || true; }
form_xid=""
wait_for_form() {
  for _ in $(seq 100); do
    form_xid="$(windows | awk 'NR == 1')"
    [ -n "$form_xid" ] && return 0
    sleep 0.1
  done
  return 1
}
# A window not yet mapped refuses the focus with an X error (BadMatch): give it a moment, try again.
press() {
  local try
  for try in 1 2 3 4 5; do
    xdotool windowfocus --sync "$1" 2>/dev/null && break
    sleep 0.4
  done
  xdotool windowfocus --sync "$1" key "$2"
  sleep 0.3
}
acknowledge_boxes() {
  sleep 0.5
  local box
  while box="$(windows | awk -v form="$form_xid" '$0 != form { print; exit }')" && [ -n "$box" ]; do
    press "$box" Return
  done
}

# What a user copies to a Windows machine: the installed folder, registered by its register.cmd.
install_dir="$WINEPREFIX/drive_c/oquardelino"
cmake --install "$build" --prefix "$install_dir" >/dev/null
dll="$install_dir/oquardelino.dll"
register() { (cd "$install_dir" && wine cmd /c register.cmd "$@" 2>&1 | tr -d '\r' | grep -x done >/dev/null); }

echo "== registration"
register || fail "register.cmd did not finish"
wine reg query "$class_key\\InprocServer32" /v ThreadingModel 2>/dev/null | grep Apartment >/dev/null ||
  fail "InprocServer32 has no ThreadingModel Apartment"
wine reg query 'HKCR\oQUARDELINO.cMAIN\CLSID' 2>/dev/null | grep -i '{F0BEC779-FF07-4CC0-BA67-74DAC1C1954D}' >/dev/null ||
  fail "oQUARDELINO.cMAIN does not name the class"
wine reg query "$typelib_key" 2>/dev/null | grep -i 'oquardelino\\oquardelino.dll' >/dev/null ||
  fail "type library not registered at the installed DLL"

echo "== VBScript host"
vbs_out="$WINEPREFIX/cmain_client.out"
timeout 300 wine cscript //nologo "$(win tests/win32/cmain_client.vbs)" >"$vbs_out" 2>&1 &
script=$!
if wait_for_form; then
  press "$form_xid" F11
  acknowledge_boxes
  press "$form_xid" Escape
else
  fail "the VBScript host's Mostrar showed no form"
fi
status=0
wait "$script" || status=$?
tr -d '\r' <"$vbs_out"
[ "$status" -eq 0 ] && tail -n 1 "$vbs_out" | grep "all checks passed" >/dev/null || fail "VBScript host (exit $status)"

# Runs a program of the build with its arguments; it passes when it exits 0 and its last line
# matches the pattern.
run() {
  local pattern="$1" program="$2" out="$WINEPREFIX/$(basename "$2").out" status=0
  shift 2
  timeout 900 wine "$build/$program" "$@" >"$out" 2>&1 || status=$?
  tr -d '\r' <"$out"
  [ "$status" -eq 0 ] && tail -n 1 "$out" | grep "$pattern" >/dev/null || fail "$program (exit $status)"
}
echo "== C++ host: type library, entry points, copies through the dialog over SQLite, refusing host objects"
data="$(mktemp -d "$WINEPREFIX/drive_c/data.XXXXXX")"
run "all checks passed" tests/win32/oq_test_host.exe "$(win "$dll")" "$(win "$data")"
echo "== speed (bench/win32): a filtered copy of 10,000 items through COM against its statements alone"
bench_data="$(mktemp -d "$WINEPREFIX/drive_c/bench.XXXXXX")"
run "^bench: filtered copy" bench/win32/oq_com_bench.exe "$(win "$bench_data")"

echo "== unregistration"
register /u || fail "register.cmd /u did not finish"
if wine reg query "$class_key" >/dev/null 2>&1 || wine reg query 'HKCR\oQUARDELINO.cMAIN' >/dev/null 2>&1 ||
  wine reg query "$typelib_key" >/dev/null 2>&1; then
  fail "registry entries left after register.cmd /u"
fi

if [ "$failed" -ne 0 ]; then
  echo "test-windows: FAILED"
  exit 1
fi
echo "test-windows: all Wine tests passed"
