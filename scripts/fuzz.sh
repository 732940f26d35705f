#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for 30 seconds, or for the time fuzz/seconds.txt
# gives it; KEYLUME_FUZZ_SECONDS, when set, is the time for every target.
# A target's seed inputs live in fuzz/<folder>/corpus/<target>/ when present.
set -euo pipefail
cd "$(dirname "$0")/.."
default_seconds=30
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
  seconds="${KEYLUME_FUZZ_SECONDS:-}"
  if [ -z "$seconds" ]; then
    seconds=$(awk -v t="$name" '$1 == t { print $2 }' fuzz/seconds.txt 2>/dev/null || true)
    seconds="${seconds:-$default_seconds}"
  fi
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
