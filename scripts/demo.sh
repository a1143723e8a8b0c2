#!/usr/bin/env bash
# The main job: installs the packages, builds the release preset, creates the demo databases when
# they are missing, then opens the copy dialog on them (on a desktop) or, without a display, makes
# a demo copy through the same form without a window and prints its log.
# Usage: scripts/demo.sh [options of 'oquardelino dialog']
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
# The program and everything `cmake --install build/release` copies (library, man page, completion).
cmake --build --preset release --target oq_installables
bin="$PWD/build/release/apps/oquardelino/oquardelino"

# The program's data folder, as it chooses it.
if [[ "${XDG_DATA_HOME:-}" == /* ]]; then
  data="$XDG_DATA_HOME/oquardelino"
else
  data="$HOME/.local/share/oquardelino"
fi
if [[ ! -f "$data/internos.db" || ! -f "$data/ncm.db" ]]; then
  "$bin" demo --force
fi
internos="sqlite:$data/internos.db"
ncm="sqlite:$data/ncm.db"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Opening the copy dialog on the demo interno 2024-0101: type a new number, press F11 to"
  echo "copy, ESC to close."
  echo "(The program is $bin; 'cmake --install build/release --prefix ~/.local' puts it on your PATH.)"
  exec "$bin" dialog --internos "$internos" --ncm "$ncm" --source 2024-0101 "$@"
fi

# No display: the same form, driven without a window.
new="DEMO-$(date +%Y%m%d-%H%M%S)"
echo "No display found: making a demo copy of interno 2024-0101 as ${new}_1 and ${new}_2"
echo "(all items, 2 copies) through 'oquardelino copy', the dialog's headless path. Its log:"
echo
status=0
"$bin" copy --internos "$internos" --ncm "$ncm" --source 2024-0101 --new "$new" --copies 2 \
  --option todos || status=$?
echo
echo "Setting left for the new cover sheet ${new}_1: TRELVO PROCESOS ${new}_1 = $("$bin" setting TRELVO PROCESOS "${new}_1" || echo '(none)')"
echo "On a desktop this command opens the dialog; 'oquardelino dialog --screenshot dialog.png'"
echo "draws it into a picture anywhere."
echo "The program is $bin; to put it on your PATH: cmake --install build/release --prefix ~/.local"
exit "$status"
