#!/usr/bin/env bash
# Builds Keylume and starts it. Without the keyboard attached it runs on the built-in simulated
# keyboard. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target keylume
exec build/default/src/app/keylume --simulate "$@"
