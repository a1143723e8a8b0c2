#!/usr/bin/env bash
# The bash completion the program writes, driven as bash drives it (a ':' splits words for bash).
# Usage: completion_test.sh PROGRAM SCRATCH_DIR
set -euo pipefail
source <("$1" completion bash)
mkdir -p "$2/dbs" && cd "$2" && touch dbs/a.db dbs/b.db
status=0
expect() {  # LINE REPLIES: the replies for the command line LINE, the cursor at its end
  COMP_LINE="$1" COMP_POINT=${#1} COMP_WORDBREAKS=$' \t\n"\'><=;|&(:' COMPREPLY=()
  _oquardelino_words
  local got
  got="$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)"
  [[ "$got" == "$2" ]] || { echo "FAIL: '$1' offers '$got', not '$2'"; status=1; }
}
expect "oquardelino co" "copy"
expect "oquardelino copy --internos " "postgresql:// sqlite:"
expect "oquardelino copy --internos sqlite:dbs/" "dbs/a.db dbs/b.db"
expect "oquardelino split --ncm sqlite:dbs/b" "dbs/b.db"
expect "oquardelino copy --option c" "con-lapi"
expect "oquardelino copy --internos sqlite:dbs/a.db --nu" "--number-as-typed"
exit $status
