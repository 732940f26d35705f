#!/usr/bin/env bash
# Fetches Debian's own pugixml source package (the Windows build compiles pugixml.cpp from it) into
# a cache folder, through a private apt configuration: the system's apt sources stay as they are.
# Usage: scripts/win/fetch-pugixml.sh [CACHE_DIR]   prints the folder that holds src/pugixml.cpp
set -euo pipefail
cache="${1:-${XDG_CACHE_HOME:-$HOME/.cache}/keylume}"
dest="$cache/pugixml"
if [ -f "$dest/src/pugixml.cpp" ]; then
  echo "$dest"
  exit 0
fi
for tool in apt-get dpkg-source; do
  command -v "$tool" >/dev/null || { echo "fetch-pugixml: $tool is missing" >&2; exit 1; }
done

# Same version as the installed headers where there is one, so both builds read XML alike.
work="$cache/pugixml-fetch"
rm -rf "$work"
mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/archives/partial"
suite="bookworm"
if [ -r /etc/os-release ]; then
  . /etc/os-release
  suite="${VERSION_CODENAME:-bookworm}"
fi
echo "deb-src http://deb.debian.org/debian $suite main" > "$work/sources.list.d/debian-src.list"
apt_opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/sources.list.d"
          -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
          -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "Debug::NoLocking=1"
          -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" -qq update >&2
(cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only pugixml >&2)
dsc=$(ls "$work"/pugixml_*.dsc | head -n 1)
rm -rf "$work/unpacked"
dpkg-source --no-check -x "$dsc" "$work/unpacked" >&2
test -f "$work/unpacked/src/pugixml.cpp"
rm -rf "$dest"
mv "$work/unpacked" "$dest"
rm -rf "$work"
echo "$dest"
