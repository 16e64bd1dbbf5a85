#!/usr/bin/env bash
# import-memory-compare.sh (no arguments; settings in the environment): opening a very large
# stored scan, in one run. `velbrin-snapshot FILE -o OUT.png` (import, layout, mesh, draw, PNG)
# built from this checkout against a baseline binary, alternating under the benchmark timer: median
# wall time and peak memory of each and the median of the pair-by-pair time ratios (goals: this
# checkout's peak at most 600 MB, the ratio at most 1.1). Then once each, for reference: `gdu -n -f`
# and `ncdu -f` (the tree held: under a pseudo-terminal, quit at once) on the decompressed JSON, and
# `ncdu -f -o /dev/null` (streamed, no tree held), each under a watchdog that kills its process tree
# above MEMORY_LIMIT_GB. FILE is /var/tmp/velbrin-bench/scan-ENTRIES.json.zst, made by
# bench/make-scan-file.sh when missing (about 75 s for 50M); its plain copy scan-ENTRIES.json is
# made once and kept. Without DISPLAY it starts its own Xvfb. MB and GB are 10^6 and 10^9 bytes.
# Environment: ENTRIES (default 50000000), RUNS (default 3), BUILD_DIR (default build), BASELINE
# (default /var/tmp/velbrin-bench/baseline/velbrin-snapshot), MEMORY_LIMIT_GB (default 12),
# TIMEOUT (one bound in seconds on all the timed runs together, default 3600, the most it takes).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ $# -gt 0 ]]; then
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
BENCH=/var/tmp/velbrin-bench
ENTRIES=${ENTRIES:-50000000}
RUNS=${RUNS:-3}
BUILD_DIR=${BUILD_DIR:-build}
BASELINE=${BASELINE:-$BENCH/baseline/velbrin-snapshot}
MEMORY_LIMIT_GB=${MEMORY_LIMIT_GB:-12}
TIMEOUT=${TIMEOUT:-3600}
FILE=$BENCH/scan-$ENTRIES.json.zst
PLAIN=$BENCH/scan-$ENTRIES.json
GOAL_MB=600
GOAL_RATIO=1.1

[[ -x "$BASELINE" ]] || { echo "import-memory-compare: no baseline program at $BASELINE" >&2; exit 2; }
if ! command -v gdu >/dev/null || ! command -v ncdu >/dev/null || ! command -v Xvfb >/dev/null; then
    "$REPO_ROOT/scripts/install-deps"
fi

if [[ ! -f "$FILE" ]]; then
    section "Making $FILE"
    mkdir -p "$BENCH"
    # Written under another name first: an interrupted run leaves no short file to be reused.
    "$REPO_ROOT/bench/make-scan-file.sh" "$ENTRIES" "$FILE.part"
    mv "$FILE.part" "$FILE"
fi

section "Building velbrin-snapshot"
configure "$BUILD_DIR"
cmake --build "$REPO_ROOT/$BUILD_DIR" --target velbrin-snapshot >/dev/null
SNAPSHOT="$REPO_ROOT/$BUILD_DIR/tools/velbrin-snapshot"

work=$(mktemp -d)
xvfb=
cleanup()
{
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
if [[ -z ${DISPLAY:-} ]]; then
    # Xvfb picks a free display and writes its number once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for ((i = 0; i < 100; i++)); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || { echo "import-memory-compare: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(<"$work/display")
    export DISPLAY
fi

# mb KIB: kibibytes as megabytes, one decimal.
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k * 1024 / 1e6}'; }

section "velbrin-snapshot on $ENTRIES entries: this checkout (A) and the baseline (B), $RUNS runs each, in turn"
cat "$FILE" >/dev/null # into the page cache for both sides alike
status=0
farm-bench -n "$RUNS" --timeout "$TIMEOUT" --vs "$(printf '%q ' "$BASELINE" "$FILE" -o "$work/baseline.png")" \
    -- "$SNAPSHOT" "$FILE" -o "$work/new.png" >"$work/timer.txt" 2>&1 || status=$?
# The report's figure rows only: its first line and notes are the timer's own.
grep -E '^(A|B) exit|^ +min +median|^(A|B|A/B) (wall|cpu|peak)' "$work/timer.txt" || true
if [[ $status -ne 0 ]] || ! grep -q "^A exit 0 ($RUNS of $RUNS)" "$work/timer.txt" ||
    ! grep -q "^B exit 0 ($RUNS of $RUNS)" "$work/timer.txt"; then
    echo "import-memory-compare: the timed runs did not all finish and succeed (status $status):" >&2
    grep -v farm-bench "$work/timer.txt" >&2
    exit 1
fi
# figure ROW: the median column of one figure row ("A wall s", "A/B wall", ...).
figure() { awk -v row="$1" 'index($0, row " ") == 1 {print $(NF - 1)}' "$work/timer.txt"; }
newSeconds=$(figure "A wall s") baseSeconds=$(figure "B wall s") ratio=$(figure "A/B wall")
newMB=$(mb "$(awk -v m="$(figure "A peak MiB")" 'BEGIN {print m * 1024}')")
baseMB=$(mb "$(awk -v m="$(figure "B peak MiB")" 'BEGIN {print m * 1024}')")
pictures=differ
cmp -s "$work/new.png" "$work/baseline.png" && pictures=identical
echo "median wall time: this checkout ${newSeconds} s, baseline ${baseSeconds} s"
echo "median peak memory: this checkout ${newMB} MB, baseline ${baseMB} MB"
echo "median ratio of times (this checkout / baseline): $ratio (goal at most $GOAL_RATIO)"
echo "peak memory of this checkout: ${newMB} MB (goal at most $GOAL_MB MB)"
echo "last pictures: $pictures"

# tree_pids PID: PID and every process below it.
tree_pids()
{
    ps -e -o pid=,ppid= | awk -v root="$1" '{parent[$1] = $2} END {
        held[root] = 1
        do {grown = 0; for (p in parent) if (!(p in held) && (parent[p] in held)) {held[p] = 1; grown = 1}} while (grown)
        for (p in held) print p}'
}

# tree_rss_kib PID...: the processes' resident memory added up, in KiB.
tree_rss_kib()
{
    local pid
    for pid in "$@"; do cat "/proc/$pid/status" 2>/dev/null || true; done | awk '/^VmRSS:/ {s += $2} END {print s + 0}'
}

# watched NAME COMMAND...: runs COMMAND once, its memory watched: every 0.5 s its process tree's
# resident memory is added up, and the tree is killed above MEMORY_LIMIT_GB. Sets RESULT[NAME] to
# "SECONDS PEAK_MB" (the peak: the largest process, /usr/bin/time's figure) or "killed GB SECONDS",
# or "failed EXIT SECONDS"; what it wrote is in $work/NAME.out and $work/NAME.err.
declare -A RESULT
watched()
{
    local name=$1
    shift
    local limit_kib started pid kib killed_kib=0 code=0 seconds
    local -a pids
    limit_kib=$(awk -v g="$MEMORY_LIMIT_GB" 'BEGIN {printf "%d", g * 1e9 / 1024}')
    started=$EPOCHREALTIME
    /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    pid=$!
    while [[ -r /proc/$pid/status ]] && ! grep -q '^State:.*zombie' "/proc/$pid/status" 2>/dev/null; do
        mapfile -t pids < <(tree_pids "$pid")
        kib=$(tree_rss_kib "${pids[@]}")
        if ((kib > limit_kib)); then
            killed_kib=$kib
            kill -KILL "${pids[@]}" 2>/dev/null || true
            break
        fi
        sleep 0.5
    done
    wait "$pid" 2>/dev/null || code=$? # quiet: no "Killed" line from the shell
    seconds=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.1f", b - a}')
    if ((killed_kib > 0)); then
        RESULT[$name]="killed $(awk -v k="$killed_kib" 'BEGIN {printf "%.1f", k * 1024 / 1e9}') $seconds"
    elif ((code != 0)); then
        RESULT[$name]="failed $code $seconds"
    else
        read -r seconds kib <"$work/$name.time"
        RESULT[$name]="$seconds $(mb "$kib")"
    fi
}

# outcome NAME: RESULT[NAME] in words.
outcome()
{
    local -a r
    read -ra r <<<"${RESULT[$1]:-skipped}"
    case ${r[0]} in
    skipped) echo "not run" ;;
    killed) echo "killed at ${r[1]} GB after ${r[2]} s" ;;
    failed) echo "failed (exit ${r[1]}) after ${r[2]} s" ;;
    *) echo "${r[0]} s, peak ${r[1]} MB" ;;
    esac
}

section "References, one run each on the plain JSON, killed above $MEMORY_LIMIT_GB GB"
if [[ ! -f "$PLAIN" ]]; then
    # The plain file is about ten times the compressed one.
    need=$((10 * $(stat -c %s "$FILE")))
    free=$(df --output=avail -B1 "$BENCH" | tail -n 1)
    if ((free > need + (1 << 30))); then
        zstd -q -dc "$FILE" >"$PLAIN.part"
        mv "$PLAIN.part" "$PLAIN"
    else
        echo "import-memory-compare: $((free >> 20)) MiB free in $BENCH, about $((need >> 20)) MiB needed for $PLAIN: references skipped" >&2
    fi
fi
if [[ -f "$PLAIN" ]]; then
    cat "$PLAIN" >/dev/null
    # gdu falls back to printing without a terminal anyway; -n says so, -p drops the progress line.
    watched gdu gdu -n -p -f "$PLAIN"
    echo "gdu -n -p -f: $(outcome gdu)"
    # ncdu keeps an imported tree only to browse it, which needs a terminal: a pseudo-terminal from
    # script(1), with "q" waiting on its input, read once the browser is shown.
    # shellcheck disable=SC2016 # $1 is expanded by that sh
    watched ncdu sh -c 'printf q | TERM=xterm script -qec "ncdu -0 -f \"$1\"" /dev/null' sh "$PLAIN"
    echo "ncdu -0 -f (tree held, browser quit at once): $(outcome ncdu)"
    # With -o it writes each entry on as it reads it and holds no tree.
    watched ncdu-o ncdu -0 -f "$PLAIN" -o /dev/null
    echo "ncdu -0 -f -o /dev/null (streamed, no tree): $(outcome ncdu-o)"
fi

section "Summary: $ENTRIES entries, $(stat -c %s "$FILE" | awk '{printf "%.0f", $1 / 1e6}') MB compressed"
printf '%-34s %s\n' "velbrin-snapshot, this checkout" "$newSeconds s, peak $newMB MB (median of $RUNS; goal at most $GOAL_MB MB)" \
    "velbrin-snapshot, baseline" "$baseSeconds s, peak $baseMB MB (median of $RUNS)" \
    "time ratio, checkout / baseline" "$ratio (median of pairs; goal at most $GOAL_RATIO)" \
    "gdu -n -f" "$(outcome gdu)" \
    "ncdu -f, tree held" "$(outcome ncdu)" \
    "ncdu -f -o /dev/null, streamed" "$(outcome ncdu-o)"
