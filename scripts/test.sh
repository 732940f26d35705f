#!/usr/bin/env bash
# Builds Keylume and runs every test: installs what is missing, configures, builds, runs ctest;
# with the default preset also the Windows stage (scripts/win/windows-stage.sh).
# Usage: scripts/test.sh            (the default preset)
#        scripts/test.sh asan|tsan  (the sanitizer presets)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
# The same core and the Windows backends as Windows programs under wine (after the Linux tests).
if [ "$preset" = default ]; then
  scripts/win/windows-stage.sh
fi
