#!/usr/bin/env bash
# Prints how many non-blank lines the tests hold against the code they test: every file under
# tests/ (support code, scripts and build files included) against every file under src/ and apps/.
# Files git tracks count, and new ones it does not ignore.
# Usage: scripts/test-ratio.sh [--max PERCENT]   (with --max, exits 1 when the ratio is above it)
set -euo pipefail
cd "$(dirname "$0")/.."

max=""
case "${1:-}" in
  --max) max="${2:?--max wants a percentage}" ;;
  "") ;;
  *) echo "usage: scripts/test-ratio.sh [--max PERCENT]" >&2; exit 2 ;;
esac

# Non-blank lines of the files below the given folders, as they are in the working tree.
lines() {
  git ls-files -z --cached --others --exclude-standard -- "$@" |
    while IFS= read -r -d '' f; do [ -f "$f" ] && printf '%s\0' "$f"; done |
    xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true
}

code=$(lines src apps)
tests=$(lines tests)
for folder in tests/*/; do
  printf '  %-22s %6d\n' "$folder" "$(lines "$folder")"
done
printf 'tests %d lines, code (src, apps) %d lines: %s %%\n' "$tests" "$code" \
  "$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f", 100 * t / c }')"
if [ -n "$max" ] && [ $((100 * tests)) -gt $((max * code)) ]; then
  echo "above the ${max} % allowed" >&2
  exit 1
fi
