#!/usr/bin/env bash
# Installs the Debian packages Keylume builds, tests and runs with.
# Only what is missing is installed; nothing is downloaded from anywhere else.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format clang-tidy
  libclang-rt-14-dev libpugixml-dev qt6-base-dev qt6-base-dev-tools libgl-dev
  libhidapi-dev libudev-dev libevdev-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-noto-cjk imagemagick librsvg2-bin
  desktop-file-utils appstream lintian
  qemu-system-x86 busybox-static cpio xz-utils
)
# The Windows stage's cross toolchain and wine; the stage reports itself skipped without them.
"$(dirname "$0")/win/install-deps.sh" || echo "install-deps: the Windows toolchain could not be installed"

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
