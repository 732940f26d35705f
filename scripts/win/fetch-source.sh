#!/usr/bin/env bash
# Fetches one of Debian's own source packages that the Windows build compiles (pugixml; Google
# Benchmark for the timing programs) into a cache folder, through a private apt configuration: the
# system's apt sources stay as they are, and nothing comes from anywhere but Debian's archive.
# Usage: scripts/win/fetch-source.sh PACKAGE FILE [CACHE_DIR]
#   prints the unpacked folder, which holds FILE (a path inside the package, checked).
set -euo pipefail
package="$1"
check="$2"
cache="${3:-${XDG_CACHE_HOME:-$HOME/.cache}/keylume}"
dest="$cache/$package"
if [ -f "$dest/$check" ]; then
  echo "$dest"
  exit 0
fi
for tool in apt-get dpkg-source; do
  command -v "$tool" >/dev/null || { echo "fetch-source: $tool is missing" >&2; exit 1; }
done

work="$cache/$package-fetch"
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
(cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "$package" >&2)
dsc=$(ls "$work"/"${package}"_*.dsc | head -n 1)
rm -rf "$work/unpacked"
# apt has checked the files against the archive's signed index already.
dpkg-source --no-check -x "$dsc" "$work/unpacked" >&2
test -f "$work/unpacked/$check"
rm -rf "$dest"
mv "$work/unpacked" "$dest"
rm -rf "$work"
echo "$dest"
