#!/usr/bin/env bash
# Installs the Windows stage's toolchain from Debian: the mingw-w64 cross compilers (posix thread
# model), wine to run the test programs, and dpkg-dev for unpacking pugixml's source package.
# Only what is missing is installed. Exits non-zero when it could not be installed; the stage
# then reports itself skipped.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
          dpkg-dev googletest)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps (windows stage): installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
