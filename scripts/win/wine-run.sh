#!/usr/bin/env bash
# Runs one Windows test program under wine for ctest: with a time limit, in the wine prefix of the
# Windows stage (created without questions when missing), with a resident wine server so that each
# start costs a fraction of a second. A program that printed no GoogleTest summary has not run its
# tests (a 32-bit program, for one, exits 0 here without running) and fails.
# Usage: scripts/win/wine-run.sh PROGRAM.exe [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/keylume/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
limit="${KEYLUME_WINE_TIMEOUT:-300}"

"$here/wine-prefix.sh" || { echo "wine-run: no wine prefix at $WINEPREFIX" >&2; exit 1; }
# Lingers a minute after its last program; the stage stops it at the end.
wineserver -p60 </dev/null >/dev/null 2>&1 || true

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
# Into a file, not a pipe: wine's service processes inherit the output and outlive the program,
# so a reader of a pipe would wait for them.
timeout --kill-after=10 "$limit" wine "$@" >"$out" 2>&1
rc=$?
cat "$out"
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
  echo "wine-run: $(basename "$1") did not finish within $limit s" >&2
  exit 1
fi
if ! grep -qE '^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran' "$out"; then
  echo "wine-run: $(basename "$1") printed no test summary (exit code $rc): its tests did not run" >&2
  exit 1
fi
exit "$rc"
