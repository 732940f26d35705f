#!/usr/bin/env bash
# Runs one scenario against the program on its built-in keyboard and checks what it did:
#   run_scenario.sh <keylume> <cases-folder> <name>
# <name>.scn is the script (the program's --script): one step a line; blank lines and lines
# starting with "#" are skipped.
#   wait MS                  let MS milliseconds pass
#   click NAME               click a button (or a menu entry of the main window)
#   select NAME N            pick item N of a combobox or click row N of a list
#   slide NAME POS           move a slider as the user would
#   check NAME / uncheck NAME  set a check box, click a radio button
#   page NAME N              show page N of a tab control
#   text NAME VALUE          type VALUE (the rest of the line) into an edit
#   command ID               send the main window a command (6 closes it)
#   answer ok|cancel         the answer to the next message box (OK when none is queued)
#   keyimg USAGE             click the key with this usage id on the keyboard picture
#   key down|up|tap USAGE    the built-in keyboard's key (hex code "0x70004" or a name, "F4")
#   unplug / plug            the built-in keyboard leaves or comes back
#   screenshot FILE          a picture of the window in front
#   quit                     close the main window (also done after the last step)
# Names are looked up in the dialog that is open, else in the main window. A step that names a
# control waits until that control exists and is visible, for up to 2 s: a script does not need a
# "wait" for a window that is still opening (after "keyimg" the editor opens on a timer), and
# "answer" and "screenshot" likewise wait for such a window and then work on it. A control still
# missing after 2 s stops the script with a message on standard error and exit code 2.
#
# Lines starting with "#!" tell this runner what else to do:
#   #! arg: VALUE            one more program argument (kept exactly, blanks included)
#   #! data: FOLDER          copy data/FOLDER/* into the data folder first
#   #! exit: N               expected exit code (default 1, the code a closed main window gives)
#   #! channels: A B ...     trace channels compared (default: hid ui app sim)
#   #! expect-file: FILE TEXT  FILE in the data folder contains TEXT after the run (FILE may be a
#                              pattern: exactly one file must match it)
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
#   #! drop: TEXT            trace lines containing TEXT are not compared (repeatable)
#   #! order: channel        compare each channel's lines in their own order, for channels written
#                            by different threads (the filter's reader, the playback, the UI)
# <name>.trace holds the expected trace lines without their time stamps. A line may start with
# "+MIN..MAX " : it must come MIN to MAX ms after the previous expected line (of the same channel
# with "order: channel"). In the trace, the run's own folder reads WORK and the time stamp of a
# kept unreadable file "unreadable-STAMP".
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
stderr_want=() nothing_held=0 drops=() order=""
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
        "#! drop: "*) drops+=("${line#"#! drop: "}") ;;
        "#! order: "*) order=${line#"#! order: "} ;;
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
        grep -qE " app window (shown|hidden|minimised \(no tray\))$" "$work/trace" 2>/dev/null && return
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
     ($2 in want) { t = $1; $1 = ""; sub(/^ /, ""); print t "\t" $0 }' "$work/trace" |
    sed -E -e "s|$work|WORK|g" -e 's/unreadable-[0-9]{8}-[0-9]{6}(-[0-9]+)?/unreadable-STAMP/g' \
        >"$work/actual.timed"
cp "$expected" "$work/expected.timed"
for text in "${drops[@]}"; do
    grep -vF -- "$text" "$work/actual.timed" >"$work/kept" || true
    mv "$work/kept" "$work/actual.timed"
done
if [ "$order" = channel ]; then
    # Stable sort on the channel's place in the list: each channel keeps its own order.
    by_channel() {
        awk -F'\t' -v channels="$channels" -v field="$2" '
            BEGIN { n = split(channels, c, " "); for (i = 1; i <= n; i++) rank[c[i]] = i }
            { text = $field; sub(/^\+[0-9]+\.\.[0-9]+ /, "", text); split(text, w, " ");
              print rank[w[1]] "\t" $0 }' "$1" | sort -s -t"$(printf '\t')" -k1,1n | cut -f2-
    }
    by_channel "$work/actual.timed" 2 >"$work/sorted" && mv "$work/sorted" "$work/actual.timed"
    by_channel "$work/expected.timed" 1 >"$work/sorted" && mv "$work/sorted" "$work/expected.timed"
fi
cut -f2- "$work/actual.timed" >"$work/actual"
sed -E 's/^\+[0-9]+\.\.[0-9]+ //' "$work/expected.timed" >"$work/expected"
if ! diff -u "$work/expected" "$work/actual" >"$work/diff"; then
    fail "trace differs (expected / actual):"
    cat "$work/diff"
else
    # Timing: each "+MIN..MAX" line against the line before it.
    paste "$work/expected.timed" "$work/actual.timed" | awk -F'\t' -v per_channel="$order" '
        { time = $2; channel = $3; sub(/ .*/, "", channel)
          if (per_channel == "channel" && channel != last_channel) prev = time }
        $1 ~ /^\+[0-9]+\.\.[0-9]+ / { split(substr($1, 2), r, /\.\.| /); d = time - prev;
            if (d < r[1] || d > r[2]) { printf "FAIL: %s came after %d ms\n", $1, d; bad = 1 } }
        { prev = time; last_channel = channel } END { exit bad }' || failed=1
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
    matches=()
    for m in "$work/data/"$file; do [ -e "$m" ] && matches+=("$m"); done
    if [ "${#matches[@]}" != 1 ]; then
        fail "${#matches[@]} files match $file, not one"
    else
        grep -qF -- "$text" "${matches[0]}" || fail "$file does not contain $text"
    fi
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
