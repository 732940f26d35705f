#!/usr/bin/env bash
# What the program does before it does anything: options that only print, mistakes on the command
# line, and a runtime folder it cannot trust. None of them may open a window, take a lock, touch a
# data file or reach the driver set-up.
#   start_refusals_test.sh <keylume>
set -uo pipefail
program=$1
work=$(mktemp -d /tmp/keylume-refusals-XXXXXX)
chmod 755 "$work"
cleanup() { rm -rf "$work" /tmp/keylume-6199[0-9] /tmp/keylume-6199[0-9]-*; }
trap cleanup EXIT
mkdir -m 700 "$work/run"
mkdir "$work/data" "$work/bin"
cp "$(dirname "$program")/config.xml" "$work/data/"
# Anything that would ask for root rights leaves a mark instead.
for tool in pkexec sudo; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/elevated"\n' "$tool" "$work" >"$work/bin/$tool"
    chmod 755 "$work/bin/$tool"
done
(cd "$work/data" && sha256sum ./*) >"$work/sums"

failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Runs the program with no display and checks it left nothing behind.
#   check NAME EXIT STDOUT-TEXT STDERR-TEXT [RUNNER...] -- ARGS...
check() {
    local name=$1 want=$2 out_want=$3 err_want=$4
    shift 4
    local runner=()
    while [ "$1" != -- ]; do runner+=("$1"); shift; done
    shift
    rm -f "$work/trace" "$work/elevated"
    local environment=(-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
    if [ -n "${NO_XDG:-}" ]; then
        environment+=(-u XDG_RUNTIME_DIR)
    else
        environment+=(XDG_RUNTIME_DIR="$work/run")
    fi
    "${runner[@]}" env "${environment[@]}" PATH="$work/bin:$PATH" "$program" "$@" \
        >"$work/out" 2>"$work/err"
    local rc=$?
    [ "$rc" = "$want" ] || fail "$name: exit code $rc, expected $want"
    if [ -n "$out_want" ]; then grep -qF -- "$out_want" "$work/out" || fail "$name: standard output lacks: $out_want"; fi
    if [ -n "$err_want" ]; then grep -qF -- "$err_want" "$work/err" || fail "$name: standard error lacks: $err_want"; fi
    [ ! -e "$work/elevated" ] || fail "$name: reached the driver set-up: $(cat "$work/elevated")"
    [ ! -e "$work/trace" ] || fail "$name: started (it wrote its trace)"
    [ -z "$(ls -A "$work/run")" ] || fail "$name: took a lock or a socket: $(ls -A "$work/run")"
    (cd "$work/data" && sha256sum -c --quiet "$work/sums") || fail "$name: changed a data file"
    # A window on no display would have failed with Qt's own message.
    ! grep -q "qt\.qpa\|could not connect to display" "$work/err" || fail "$name: tried to open a window"
    rm -rf "${work:?}/run/"*
    echo "--- $name: exit $rc"
}

data=(--data-dir "$work/data" --trace "$work/trace")
# name             exit stdout                 stderr
check help           0 "--data-dir DIR"       ""                                -- "${data[@]}" --help
check help-short     0 "--sim-firmware"       ""                                -- -h "${data[@]}"
check help-hid       0 "-hid"                 ""                                -- -hid --help
check version        0 "keylume "             ""                                -- --version "${data[@]}"
check unknown        2 ""                     "keylume: unknown option --hidden" -- "${data[@]}" --hidden
check unknown-usage  2 ""                     "--simulate"                      -- --bogus=1
check missing-value  2 ""                     "--trace needs a value"           -- --data-dir "$work/data" --trace
# --check needs no display and starts nothing; without the keyboard here it is not ready.
check check          1 "udev rule"            ""                                -- "${data[@]}" --check
grep -q "^FAIL the keyboard's hidraw nodes: none found" "$work/out" || fail "check: $(cat "$work/out")"
# The usage of a mistake goes to standard error only, and its first line is the error.
check quiet-stdout   2 ""                     ""                                -- --nope
[ ! -s "$work/out" ] || fail "a mistake printed to standard output"
[ "$(head -n1 "$work/err")" = "keylume: unknown option --nope" ] || fail "first line: $(head -n1 "$work/err")"
lines=$("$program" --help | grep -c '^  -')
[ "$lines" -ge 9 ] || fail "--help lists $lines options"

# A runtime folder another user holds (or a link in its place) ends the program at once with a
# clear message: no run without the instance lock and the device locks. Needs root to play the
# other user.
if [ "$(id -u)" = 0 ]; then
    uid=61990
    mkdir -m 700 /tmp/keylume-$uid && chown nobody: /tmp/keylume-$uid
    NO_XDG=1 check squatted 3 "" "cannot create a private runtime folder: /tmp/keylume-$uid belongs to another user" \
        setpriv --reuid=$uid --regid=$uid --clear-groups -- --simulate "${data[@]}"
    uid=61991
    mkdir -m 700 /tmp/keylume-$uid-target && chown $uid:$uid /tmp/keylume-$uid-target
    ln -s /tmp/keylume-$uid-target /tmp/keylume-$uid
    NO_XDG=1 check link 3 "" "cannot create a private runtime folder: /tmp/keylume-$uid is a symbolic link" \
        setpriv --reuid=$uid --regid=$uid --clear-groups -- --simulate "${data[@]}"
    [ -z "$(ls -A /tmp/keylume-$uid-target)" ] || fail "link: something was made behind the link"
else
    echo "SKIPPED: the squatted runtime folder cases need root (chown, setuid)"
fi

[ "$failed" = 0 ] && echo PASS
exit "$failed"
