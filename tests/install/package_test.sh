#!/usr/bin/env bash
# Builds the Debian package and checks it: lintian reports no error or warning, its files run as
# installed (unpacked, /usr/bin/keylume --simulate with a scenario, settings in
# $XDG_CONFIG_HOME/keylume). With KEYLUME_PACKAGE_ROUND_TRIP=1 (a throwaway machine, as root) it
# also installs the package with dpkg, runs /usr/bin/keylume, purges it and checks nothing is left.
#   package_test.sh <build-dir>
set -uo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/keylume_*.deb) || fail "no package"
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" 2>&1 | grep -v "running with root privileges" \
        | tee "$work/lintian" 
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian"
else
    fail "lintian is not installed (scripts/install-deps.sh installs it)"
fi
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "dependencies not computed"

run_installed() {  # <keylume> <config-home>
    mkdir -p -m 700 "$work/run"
    printf 'quit\n' >"$work/steps.scn"
    (cd "$work" && XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$2 \
        "$1" --simulate --script "$work/steps.scn") >"$work/out.log" 2>&1
    local code=$?
    [ "$code" -eq 1 ] || { cat "$work/out.log"; fail "$1 ended with $code"; }
    ls "$2/keylume"/*.xml >/dev/null 2>&1 || fail "$1 kept no settings in $2/keylume"
}

dpkg-deb -x "$deb" "$work/root"
run_installed "$work/root/usr/bin/keylume" "$work/config1"

if [ "${KEYLUME_PACKAGE_ROUND_TRIP:-}" = 1 ]; then
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}')
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
    run_installed /usr/bin/keylume "$work/config2"
    dpkg --purge keylume >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge"; }
    for f in $files; do [ ! -e "$f" ] || fail "left after purge: $f"; done
    echo "dpkg round trip: ok"
fi
echo "package: ok"
