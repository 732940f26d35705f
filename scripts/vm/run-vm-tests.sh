#!/usr/bin/env bash
# Runs the Linux-backend tests against a real kernel: Debian's own kernel, booted in qemu (software
# emulation) from an initramfs of busybox, the kernel modules the tests need (hid, uhid, hid-generic,
# evdev, uinput) and the test binaries with their libraries. The result is read from the serial
# console.
#
# Usage: scripts/vm/run-vm-tests.sh BUILD_DIR [TEST_BINARY...]
# Exit codes: 0 passed, 1 failed, 77 skipped (no qemu or no kernel package to be had here).
set -uo pipefail

build="$(realpath "${1:?usage: run-vm-tests.sh BUILD_DIR [TEST_BINARY...]}")"
shift
binaries=("$@")
[ ${#binaries[@]} -gt 0 ] || binaries=("$build/tests/vm/vm_test")
work="$build/vm"
modules=(hid evdev uhid hid-generic uinput)
module_paths=(drivers/hid/hid.ko drivers/input/evdev.ko drivers/hid/uhid.ko
              drivers/hid/hid-generic.ko drivers/input/misc/uinput.ko)

skip() { echo "VM STAGE SKIPPED (not passed): $*"; exit 77; }

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
busybox=/bin/busybox
{ [ -x "$busybox" ] && ! ldd "$busybox" >/dev/null 2>&1; } || skip "busybox-static is not installed"
command -v cpio >/dev/null || skip "cpio is not installed"
for b in "${binaries[@]}"; do [ -x "$b" ] || { echo "VM stage: missing test binary $b"; exit 1; }; done

mkdir -p "$work"

# The kernel: the newest Debian 6.1 image, fetched once into the build folder.
if [ ! -f "$work/kernel/vmlinuz" ]; then
  pkg=$(apt-cache search --names-only '^linux-image-6\.1\.0-[0-9]+-amd64-unsigned$' 2>/dev/null |
        awk '{print $1}' | sort -V | tail -1)
  [ -n "$pkg" ] || skip "no linux-image-6.1.0-*-amd64-unsigned package is known to apt (run apt-get update)"
  rm -rf "$work/deb" "$work/kernel"
  mkdir -p "$work/deb" "$work/kernel/modules"
  (cd "$work/deb" && apt-get download "$pkg" >/dev/null 2>&1) || skip "apt-get download $pkg failed"
  dpkg-deb -x "$work"/deb/*.deb "$work/deb/x" || skip "cannot unpack $pkg"
  cp "$work"/deb/x/boot/vmlinuz-* "$work/kernel/vmlinuz"
  moddir=$(ls -d "$work"/deb/x/lib/modules/*)
  for i in "${!modules[@]}"; do
    src="$moddir/kernel/${module_paths[$i]}"
    [ -f "$src" ] || src="$src.xz"
    [ -f "$src" ] || skip "$pkg has no ${module_paths[$i]}"
    case "$src" in
      *.xz) xz -dc "$src" > "$work/kernel/modules/${modules[$i]}.ko" ;;
      *) cp "$src" "$work/kernel/modules/${modules[$i]}.ko" ;;
    esac
  done
  echo "$pkg" > "$work/kernel/package"
  rm -rf "$work/deb"
fi

# The initramfs.
root="$work/root"
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,run,modules,tests}
cp "$busybox" "$root/bin/busybox"
for applet in sh mount insmod poweroff echo mkdir chmod cat sleep ls; do ln -s busybox "$root/bin/$applet"; done
cp "$work"/kernel/modules/*.ko "$root/modules/"
copy_with_libs() {
  local bin="$1"
  cp "$bin" "$root/tests/"
  ldd "$bin" | awk '/=>/ {print $3} /^\s*\/lib/ {print $1}' | sort -u | while read -r lib; do
    [ -f "$lib" ] || continue
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
}
for b in "${binaries[@]}"; do copy_with_libs "$b"; done
mkdir -p "$root/lib64"
cp -L /lib64/ld-linux-x86-64.so.2 "$root/lib64/"

{
  echo '#!/bin/sh'
  echo 'mount -t proc proc /proc; mount -t sysfs sysfs /sys; mount -t devtmpfs devtmpfs /dev'
  echo 'mount -t tmpfs tmpfs /tmp; mount -t tmpfs tmpfs /run; chmod 700 /run'
  for m in "${modules[@]}"; do echo "insmod /modules/$m.ko"; done
  echo 'export XDG_RUNTIME_DIR=/run HOME=/tmp KEYLUME_IN_VM=1'
  echo 'cd /tmp; rc=0'
  for b in "${binaries[@]}"; do
    echo "/tests/$(basename "$b") --gtest_color=no || rc=1"
  done
  echo 'echo "KEYLUME-VM-RESULT: $rc"'
  echo 'poweroff -f'
} > "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc 2>/dev/null | gzip -1) > "$work/initrd.gz"

started=$(date +%s%N)
timeout 280 qemu-system-x86_64 -m 1024 -smp 1 -kernel "$work/kernel/vmlinuz" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" -nographic -no-reboot -monitor none \
  </dev/null >"$work/console.log" 2>&1
qemu_rc=$?
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
tr -d '\r' < "$work/console.log" | sed -n '/^\[==========\]\|^\[ \|^KEYLUME\|VM-NOTE/p'
echo "VM stage: kernel $(cat "$work/kernel/package"), qemu exit $qemu_rc, ${elapsed_ms} ms wall"
if tr -d '\r' < "$work/console.log" | grep -q '^KEYLUME-VM-RESULT: 0$'; then
  echo "VM stage: passed"
  exit 0
fi
echo "VM stage: FAILED (console log: $work/console.log)"
tail -40 "$work/console.log"
exit 1
