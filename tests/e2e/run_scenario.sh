#!/usr/bin/env bash
# Runs one scenario against the program on its built-in keyboard and checks what it did:
#   run_scenario.sh <keylume> <cases-folder> <name>
# <name>.scn is the script; lines starting with "#!" tell this runner what else to do:
#   #! arg: VALUE            one more program argument (kept exactly, blanks included)
#   #! data: FOLDER          copy data/FOLDER/* into the data folder first
#   #! exit: N               expected exit code (default 1, the code a closed main window gives)
#   #! channels: A B ...     trace channels compared (default: hid ui app sim)
#   #! expect-file: FILE TEXT  FILE in the data folder contains TEXT after the run
#   #! lacks-file: FILE TEXT   FILE in the data folder does not contain TEXT after the run
#   #! stderr: TEXT          standard error contains TEXT
#   #! unchanged: FILE ...   these files are byte for byte what they were before the run
#   #! signal-after: MS      send a stop signal to the program MS ms after its window showed
#   #! signals: SIG ...      the stop signals (default TERM); the case runs once for each
#   #! nothing-held          the virtual keyboard typed a key, and its last packet of each report
#                            holds nothing
#   #! second-instance-after: MS  start a second instance MS ms after the first one's window showed
#                              (or stayed hidden); it must exit 0
#                              and leave every data file as it was
# <name>.trace holds the expected trace lines without their time stamps. A line may start with
# "+MIN..MAX " : it must come MIN to MAX ms after the previous expected line.
set -uo pipefail
program=$1 cases=$2 name=$3

# A case with several stop signals runs once for each of them.
if [ -z "${KEYLUME_E2E_SIGNAL:-}" ]; then
    signals=$(sed -n 's/^#! signals: //p' "$cases/$name.scn")
    if [ -n "$signals" ]; then
        failed=0
        for signal in $signals; do
            echo "=== SIG$signal"
            KEYLUME_E2E_SIGNAL=$signal "$0" "$@" || failed=1
        done
        exit "$failed"
    fi
fi
stop_signal=${KEYLUME_E2E_SIGNAL:-TERM}
script=$cases/$name.scn
expected=$cases/$name.trace
work=$(mktemp -d /tmp/keylume-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/data"
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen
cp "$(dirname "$program")/config.xml" "$work/data/"

args=() exit_want=1 channels="hid ui app sim" second_after="" signal_after="" unchanged=() checks=() lacks=()
stderr_want=() nothing_held=0
while IFS= read -r line; do
    case $line in
        "#! arg: "*) args+=("${line#"#! arg: "}") ;;
        "#! data: "*) cp -r "$cases/../data/${line#"#! data: "}/." "$work/data/" ;;
        "#! exit: "*) exit_want=${line#"#! exit: "} ;;
        "#! channels: "*) channels=${line#"#! channels: "} ;;
        "#! expect-file: "*) checks+=("${line#"#! expect-file: "}") ;;
        "#! lacks-file: "*) lacks+=("${line#"#! lacks-file: "}") ;;
        "#! stderr: "*) stderr_want+=("${line#"#! stderr: "}") ;;
        "#! unchanged: "*) read -ra files <<<"${line#"#! unchanged: "}"; unchanged+=("${files[@]}") ;;
        "#! signal-after: "*) signal_after=${line#"#! signal-after: "} ;;
        "#! nothing-held") nothing_held=1 ;;
        "#! second-instance-after: "*) second_after=${line#"#! second-instance-after: "} ;;
    esac
done <"$script"

for f in "${unchanged[@]}"; do
    [ -e "$work/data/$f" ] && cp "$work/data/$f" "$work/before.$f"
done

failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$program" --simulate --data-dir "$work/data" --trace "$work/trace" --script "$script" \
    "${args[@]}" 2>"$work/stderr" &
pid=$!
# Times are counted from the window shown (or left hidden), so a slow start on a busy machine or
# under a sanitizer does not move what the case does into the start-up.
wait_for_window() {
    for _ in $(seq 600); do
        grep -qE " app window (shown|hidden)$" "$work/trace" 2>/dev/null && return
        kill -0 "$pid" 2>/dev/null || return
        sleep 0.05
    done
}
if [ -n "$second_after" ]; then
    wait_for_window
    sleep "$(awk "BEGIN { print $second_after / 1000 }")"
    (cd "$work/data" && sha256sum ./*) >"$work/sums"
    "$program" --simulate --data-dir "$work/data" --trace "$work/trace2" 2>>"$work/stderr"
    rc2=$?
    [ "$rc2" = 0 ] || fail "second instance exited with $rc2, not 0"
    (cd "$work/data" && sha256sum -c --quiet "$work/sums") || fail "the second instance changed files"
    grep -q "app second instance: first one shown" "$work/trace2" ||
        fail "the second instance did not reach the first one"
fi
if [ -n "$signal_after" ]; then
    wait_for_window
    sleep "$(awk "BEGIN { print $signal_after / 1000 }")"
    kill -"$stop_signal" "$pid"
fi
wait "$pid"
rc=$?
[ "$rc" = "$exit_want" ] || fail "exit code $rc, expected $exit_want"

# The trace without time stamps, only the channels looked at; times kept aside for the checks.
awk -v channels="$channels" 'BEGIN { n = split(channels, c, " "); for (i = 1; i <= n; i++) want[c[i]] = 1 }
     ($2 in want) { t = $1; $1 = ""; sub(/^ /, ""); print t "\t" $0 }' "$work/trace" >"$work/actual.timed"
cut -f2- "$work/actual.timed" >"$work/actual"
sed -E 's/^\+[0-9]+\.\.[0-9]+ //' "$expected" >"$work/expected"
if ! diff -u "$work/expected" "$work/actual" >"$work/diff"; then
    fail "trace differs (expected / actual):"
    cat "$work/diff"
else
    # Timing: each "+MIN..MAX" line against the line before it.
    paste "$expected" "$work/actual.timed" | awk -F'\t' '
        { time = $2 }
        $1 ~ /^\+[0-9]+\.\.[0-9]+ / { split(substr($1, 2), r, /\.\.| /); d = time - prev;
            if (d < r[1] || d > r[2]) { printf "FAIL: %s came after %d ms\n", $1, d; bad = 1 } }
        { prev = time } END { exit bad }' || failed=1
fi

if [ "$nothing_held" = 1 ]; then
    # The packets are "05 <report> <data>" with trailing zero bytes left out.
    awk '$2 == "vkbd" && $4 == "01" && NF > 4 { typed = 1 }
         $2 == "vkbd" { last[$4] = NF }
         END { if (!typed) { print "FAIL: the virtual keyboard typed nothing"; bad = 1 }
               for (r in last) if (last[r] != 4) { printf "FAIL: report %s still holds a key at the end\n", r; bad = 1 }
               exit bad }' "$work/trace" || failed=1
fi
for check in "${checks[@]}"; do
    file=${check%% *} text=${check#* }
    grep -qF -- "$text" "$work/data/$file" || fail "$file does not contain $text"
done
for check in "${lacks[@]}"; do
    file=${check%% *} text=${check#* }
    ! grep -qF -- "$text" "$work/data/$file" || fail "$file still contains $text"
done
for text in "${stderr_want[@]}"; do
    grep -qF -- "$text" "$work/stderr" || fail "standard error does not say: $text"
done
for f in "${unchanged[@]}"; do
    if [ -e "$work/before.$f" ]; then
        cmp -s "$work/before.$f" "$work/data/$f" || fail "$f changed"
    else
        [ ! -e "$work/data/$f" ] || fail "$f was created"
    fi
done
# A sanitizer's report fails the case whatever the exit code (ASan's own code is 1, like ours).
if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:|WARNING: ThreadSanitizer" "$work/stderr"; then
    fail "the sanitizer reported a fault"
fi
if [ -s "$work/stderr" ]; then
    echo "--- standard error:"
    cat "$work/stderr"
fi
[ "$failed" = 0 ] && echo "PASS: $name"
exit "$failed"
