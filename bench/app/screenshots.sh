#!/usr/bin/env bash
# Pictures of the main window in English and Chinese, taken by the program itself on its built-in
# keyboard: bench/app/screenshots.sh [build-dir] [out-dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
out=${2:-$build/screenshots}
cmake --build "$build" -j2 --target keylume >/dev/null
mkdir -p "$out"
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp "$build/src/app/config.xml" "$data/"
script=$PWD/bench/app/screenshots.scn
(cd "$out" && QT_QPA_PLATFORM=offscreen "$OLDPWD/$build/src/app/keylume" --simulate \
    --data-dir "$data" --script "$script") || [ $? = 1 ]
ls "$out"/main_en.png "$out"/main_cn.png
