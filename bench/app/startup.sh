#!/usr/bin/env bash
# Start-up of "keylume --simulate" to its main window, timed as a whole process with a script that
# quits at once, and the resident memory of the idle window:
#   bench/app/startup.sh [build-dir] [runs]
# Two cases: a first start (no settings yet, so the panel adjusts the lighting once, which waits
# for the keyboard's 100 ms command spacing) and a start whose stored settings the window already
# shows. Each prints the median and the range of the runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
runs=${2:-20}
program=$PWD/$build/src/app/keylume
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen
echo quit >"$work/quit.scn"

measure() {  # name, data folder to copy (or empty)
    local times=() shown=()
    for _ in $(seq "$runs"); do
        rm -rf "$work/data" && mkdir "$work/data"
        cp "$build/src/app/config.xml" "$work/data/"
        [ -n "$2" ] && cp "$2"/* "$work/data/"
        local t0 t1
        t0=$(date +%s%N)
        "$program" --simulate --data-dir "$work/data" --trace "$work/trace" \
            --script "$work/quit.scn" || true
        t1=$(date +%s%N)
        times+=($(((t1 - t0) / 1000000)))
        shown+=("$(awk '$2 == "app" && $3 == "window" { print $1 }' "$work/trace")")
    done
    printf '%s: whole process median %s ms (min %s, max %s); window shown at median %s ms\n' "$1" \
        "$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')" \
        "$(printf '%s\n' "${times[@]}" | sort -n | head -1)" \
        "$(printf '%s\n' "${times[@]}" | sort -n | tail -1)" \
        "$(printf '%s\n' "${shown[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
}

measure "first start" ""
measure "settled start" "tests/e2e/data/stored0"

# Resident memory of the idle main window, two seconds after it was shown.
rm -rf "$work/data" && mkdir "$work/data" && cp "$build/src/app/config.xml" "$work/data/"
echo "wait 4000" >"$work/idle.scn"
"$program" --simulate --data-dir "$work/data" --script "$work/idle.scn" &
pid=$!
sleep 2.5
echo "idle window: $(grep VmRSS /proc/$pid/status | awk '{print $2, $3}') resident"
wait "$pid" || true
