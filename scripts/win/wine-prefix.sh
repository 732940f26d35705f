#!/usr/bin/env bash
# Creates the wine prefix $WINEPREFIX when it is missing, without any question (no Mono or Gecko
# download prompts), once even when several test programs start at the same time.
set -euo pipefail
: "${WINEPREFIX:?}"
[ -f "$WINEPREFIX/system.reg" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/system.reg" ] && exit 0
echo "wine-prefix: creating $WINEPREFIX" >&2
WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
test -f "$WINEPREFIX/system.reg"
