#!/usr/bin/env bash
# Renders the main window, the macro editor, a message box and the "more" menu from the resource
# package in English and Chinese, at 100% and 200%, into build/ui/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default -B build/ui >/dev/null
cmake --build build/ui -j2 --target keylume_screenshot keylume_uires
out=build/ui/screenshots
program=$(dirname "$(find build/ui/src/app -maxdepth 2 -name uires -type d | head -1)")
QT_QPA_PLATFORM=offscreen build/ui/tools/keylume_screenshot "$program" "$out"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 build/ui/tools/keylume_screenshot "$program" "$out" _200
