#!/usr/bin/env bash
# Builds Keylume and starts it: on the real keyboard when one is attached, otherwise on the
# built-in simulated keyboard. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target keylume

# The keyboard shows up as hidraw nodes of vendor 1a2c, product 2d3e.
keyboard_attached() {
  grep -qis '^HID_ID=.*:00001A2C:00002D3E$' /sys/class/hidraw/*/device/uevent 2>/dev/null
}

if keyboard_attached; then
  exec build/default/src/app/keylume "$@"
fi
echo "run: no keyboard attached; starting on the built-in simulated keyboard"
exec build/default/src/app/keylume --simulate "$@"
