#!/usr/bin/env bash
# The driver set-up tool asks for root rights only from where nobody but root can change it, and
# installs only its own rule.
#   driver_setup_test.sh <keylume-driver-setup> <scratch folder in the build tree>
set -uo pipefail
shipped=$1 scratch=$2
work=$(mktemp -d /tmp/keylume-setup-XXXXXX)
trap 'rm -rf "$work" "$scratch/setup-fixture"' EXIT
mkdir "$work/bin"
# The tool runs as a user here, and whatever would give it root leaves a mark instead.
printf '#!/bin/sh\necho 1000\n' >"$work/bin/id"
for tool in pkexec sudo; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/elevated"\n' "$tool" "$work" >"$work/bin/$tool"
done
chmod 755 "$work/bin/"*

failed=0
fail() { echo "FAIL: $*"; failed=1; }

# run NAME EXIT STDERR-TEXT ELEVATED-TEXT TOOL ARGS...   (ELEVATED-TEXT empty: must not elevate)
run() {
    local name=$1 want=$2 err_want=$3 elevated_want=$4
    shift 4
    rm -f "$work/elevated"
    PATH="$work/bin:$PATH" "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    [ "$rc" = "$want" ] || fail "$name: exit code $rc, expected $want ($(cat "$work/err"))"
    if [ -n "$err_want" ]; then grep -qF -- "$err_want" "$work/err" || fail "$name: standard error lacks: $err_want"; fi
    if [ -n "$elevated_want" ]; then
        grep -qxF -- "$elevated_want" "$work/elevated" 2>/dev/null || fail "$name: not elevated as: $elevated_want"
    else
        [ ! -e "$work/elevated" ] || fail "$name: asked for root: $(cat "$work/elevated")"
    fi
    echo "--- $name: exit $rc"
}

# A copy where the user (and everybody, through /tmp) can change it.
mkdir "$work/copy"
cp "$shipped" "$work/copy/keylume-driver-setup"
chmod 755 "$work/copy" "$work/copy/keylume-driver-setup"
copy=$work/copy/keylume-driver-setup

run install-with-file 2 "install takes no file" "" "$copy" install /etc/shadow
run install-with-file-shipped 2 "install takes no file" "" "$shipped" install "$work/my.rules"
run remove-with-file 2 "takes no argument" "" "$copy" remove /etc/passwd
run changeable-location 1 "not asking for root rights: /tmp can be changed by users other than root" "" "$copy" install
run manual-command 1 "run: sudo '$copy' install" "" "$copy" install
run no-command 2 "usage:" "" "$copy"

# The rule it installs names this keyboard and /dev/uinput, nothing else.
"$copy" rule >"$work/rule"
[ "$(grep -vc '^#' "$work/rule")" = 3 ] || fail "the rule has $(grep -vc '^#' "$work/rule") lines"
[ "$(grep -c 'ATTRS{idVendor}=="1a2c", ATTRS{idProduct}=="2d3e", TAG+="uaccess"$' "$work/rule")" = 2 ] ||
    fail "the rule does not tag the keyboard's nodes"
grep -q '^SUBSYSTEM=="misc", KERNEL=="uinput", .*TAG+="uaccess"$' "$work/rule" || fail "no uinput line"

# An installed copy: root's, mode 0755, in folders only root can change. The build tree may lie
# under /tmp (open to everyone), so the copy goes into a folder of its own under /run when it can.
if [ "$(id -u)" = 0 ]; then
    base=$scratch
    if [ -d /run ] && [ "$(stat -c '%u %a' /run)" = "0 755" ]; then
        base=$(mktemp -d /run/keylume-setup-test-XXXXXX) && chmod 755 "$base" || base=$scratch
    fi
    fixture=$base/setup-fixture
    trap 'rm -rf "$work" "$scratch/setup-fixture"; [ "$base" = "$scratch" ] || rm -rf "$base"' EXIT
    mkdir -p "$fixture"
    chmod 755 "$fixture"
    cp "$shipped" "$fixture/keylume-driver-setup"
    chmod 755 "$fixture/keylume-driver-setup"
    installed=$(readlink -f "$fixture/keylume-driver-setup")
    probe=$(PATH="$work/bin:$PATH" "$installed" install 2>&1)
    if grep -q "not asking for root rights" <<<"$probe"; then
        echo "SKIPPED: no folder here that only root can change: $(head -n1 <<<"$probe")"
    else
        run installed-copy 0 "" "pkexec $installed install" "$installed" install
        chmod 775 "$fixture"
        run group-writable-folder 1 "$fixture can be changed by users other than root (mode 775)" "" "$installed" install
    fi
else
    echo "SKIPPED: an installed copy needs root to make (chown)"
fi

[ "$failed" = 0 ] && echo PASS
exit "$failed"
