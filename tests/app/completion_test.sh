#!/usr/bin/env bash
# The bash completion the program prints for itself, run as bash runs it: each line below is what
# the user has typed (the cursor at its end) and what pressing Tab offers.
# Usage: completion_test.sh PROGRAM
set -uo pipefail
source <("$1" completion bash) || exit 1
status=0
while IFS='|' read -r typed expected; do
  read -ra COMP_WORDS <<<"$typed"
  [[ "$typed" == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _oquardelino 2>/dev/null  # compopt complains outside a real completion; the reply is the same
  offered="${COMPREPLY[*]}"
  [[ "$offered" == "$expected" ]] || { echo "FAIL: '$typed' offers '$offered'"; status=1; }
done <<'TABLE'
oquardelino |--help -h --version demo copy dialog setting preview split
oquardelino c|copy
oquardelino comp|
oquardelino copy --op|--option
oquardelino copy --option |todos con-lapi sin-lapi
oquardelino copy --json --k|--keep-partial
oquardelino copy --internos |
oquardelino --help dialog --scr|--screenshot
TABLE
exit "$status"
