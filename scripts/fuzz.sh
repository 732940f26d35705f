#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for KEYLUME_FUZZ_SECONDS (default 30) seconds.
# A target's seed inputs live in fuzz/<folder>/corpus/<target>/ when present.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${KEYLUME_FUZZ_SECONDS:-30}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
shopt -s nullglob
targets=(build/fuzz/fuzz/*/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets"
  exit 0
fi
for target in "${targets[@]}"; do
  name=$(basename "$target")
  folder=$(basename "$(dirname "$target")")
  work=$(mktemp -d)
  seeds="fuzz/$folder/corpus/$name"
  if [ -d "$seeds" ]; then cp -r "$seeds/." "$work/"; fi
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work.log" 2>&1 || {
    tail -50 "$work.log"
    echo "fuzz: $name FAILED"
    exit 1
  }
  rm -rf "$work" "$work.log"
done
echo "fuzz: all targets ran clean"
