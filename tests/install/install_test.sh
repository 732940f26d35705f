#!/usr/bin/env bash
# Installs the build into a DESTDIR and checks what a user gets: the layout, the desktop entry and
# AppStream data passing their validators, and the installed copy running from there with its
# settings in $XDG_CONFIG_HOME/keylume.
#   install_test.sh <build-dir> <source-dir>
set -uo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

dest=$work/dest prefix=/usr
# DESTDIR is an environment variable of the install step.
DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install into DESTDIR"; }
root=$dest$prefix

for f in bin/keylume share/keylume/config.xml share/keylume/uires/uires.idx \
         libexec/keylume/keylume-driver-setup lib/udev/rules.d/70-keylume.rules \
         lib/modules-load.d/keylume.conf share/applications/org.keylume.Keylume.desktop \
         share/metainfo/org.keylume.Keylume.metainfo.xml share/man/man1/keylume.1.gz share/doc/keylume/copyright \
         share/icons/hicolor/scalable/apps/org.keylume.Keylume.svg \
         share/icons/hicolor/48x48/apps/org.keylume.Keylume.png \
         share/icons/hicolor/256x256/apps/org.keylume.Keylume.png; do
    [ -f "$root/$f" ] || fail "missing $prefix/$f"
done
[ -x "$root/bin/keylume" ] || fail "keylume is not executable"
[ -x "$root/libexec/keylume/keylume-driver-setup" ] || fail "the driver set-up is not executable"
[ ! -e "$root/bin/uires" ] && [ ! -e "$root/bin/config.xml" ] && [ ! -e "$root/bin/driver" ] \
    || fail "files beside the installed program"
grep -qx uinput "$root/lib/modules-load.d/keylume.conf" || fail "the module line"
# The installed rule is exactly the one the set-up tool writes.
diff <(sh "$source/driver/keylume-driver-setup" rule) "$root/lib/udev/rules.d/70-keylume.rules" \
    || fail "the udev rule differs from the set-up tool's"
file "$root/share/icons/hicolor/48x48/apps/org.keylume.Keylume.png" 2>/dev/null | grep -q "48 x 48" \
    || [ ! -x "$(command -v file)" ] || fail "the 48px icon is not 48x48"

desktop-file-validate "$root/share/applications/org.keylume.Keylume.desktop" \
    || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/share/metainfo/org.keylume.Keylume.metainfo.xml" \
    || fail "appstreamcli validate"

# The installed copy runs where it was put, with nothing but its own files.
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config
printf 'quit\n' >"$work/steps.scn"
(cd "$work" && "$root/bin/keylume" --simulate --script "$work/steps.scn" --trace "$work/trace") \
    >"$work/out" 2>&1
code=$?
[ "$code" -eq 1 ] || { cat "$work/out"; fail "the installed program ended with $code"; }
grep -q "language lang_en$" "$work/trace" || { cat "$work/trace"; fail "resources not found"; }
[ -d "$work/config/keylume" ] || fail "no settings folder in XDG_CONFIG_HOME"
[ "$(stat -c %a "$work/config/keylume")" = 700 ] || fail "the settings folder is not private"
ls "$work/config/keylume"/*.xml >/dev/null 2>&1 || fail "no settings written to XDG_CONFIG_HOME"
[ -z "$(ls -A "$root/share/keylume" | grep -v -e '^uires$' -e '^config.xml$')" ] \
    || fail "the installed program wrote into its share folder"
# keylumectl keeps the same files as the installed window.
"$root/bin/keylumectl" --simulate effect 5 >"$work/out" 2>&1 || { cat "$work/out"; fail "keylumectl"; }
grep -q 'sel="5"' "$work/config/keylume/ledeffect.xml" || fail "keylumectl did not use XDG_CONFIG_HOME"
echo "install layout, validators and installed run: ok"
