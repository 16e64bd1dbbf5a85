#!/usr/bin/env bash
# app-compare.sh [TREE_DIR]: the whole program against the scanner alone on the same tree, in one
# run, alternating: `velbrin TREE` on a private virtual X server, from the moment it is started to
# the first frame of the finished chart, against `scan-bench TREE`'s wall time; the longest frame
# while the scan is shown against the median frame of the finished chart; and the two programs'
# peak memory. The program writes its frames to a log (VELBRIN_FRAME_LOG) and ends after the chart
# has been drawn 60 times. Default tree: /var/tmp/velbrin-bench/tree-1000000 (made by
# bench/scan-compare.sh when missing). Environment: RUNS (default 5).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"
TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}
RUNS=${RUNS:-5}

"$REPO_ROOT/scripts/install-deps"
configure build
cmake --build "$REPO_ROOT/build" --target velbrin scan-bench >/dev/null
if [[ ! -d "$TREE" ]]; then
    RUNS=1 "$REPO_ROOT/bench/scan-compare.sh" "$TREE" >/dev/null
fi

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

median()
{
    printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

du -sb "$TREE" >/dev/null # warm the cache
section "$RUNS runs each, alternating"
printf '%-4s %12s %12s %8s | %14s %14s %8s | %10s %10s %8s\n' run "to chart s" "scan-bench s" ratio \
    "longest scan ms" "median chart ms" ratio "app MiB" "scan MiB" ratio
timeRatios=() frameRatios=() memoryRatios=()
for ((run = 1; run <= RUNS; run++)); do
    log="$work/frames.$run"
    started=$(date +%s%N)
    DISPLAY=$display VELBRIN_FRAME_LOG="$log" VELBRIN_EXIT_AFTER_CHART_FRAMES=60 "$REPO_ROOT/build/app/velbrin" "$TREE"
    shown=$(sed -n 's/^chart_shown_realtime_ns //p' "$log")
    appSeconds=$(awk -v a="$started" -v b="$shown" 'BEGIN {printf "%.3f", (b - a) / 1e9}')
    longestScan=$(awk '$1 == "frame" && $4 == "scan" && $3 > m {m = $3} END {printf "%.2f", m}' "$log")
    medianChart=$(median $(awk '$1 == "frame" && $4 == "chart" {print $3}' "$log"))
    appKiB=$(sed -n 's/^peak_rss_kib //p' "$log")

    /usr/bin/time -f '%e %M' -o "$work/time" "$REPO_ROOT/build/bench/scan-bench" "$TREE" >/dev/null
    read -r scanSeconds scanKiB <"$work/time"

    timeRatio=$(awk -v a="$appSeconds" -v b="$scanSeconds" 'BEGIN {printf "%.3f", a / b}')
    frameRatio=$(awk -v a="$longestScan" -v b="$medianChart" 'BEGIN {printf "%.2f", a / b}')
    memoryRatio=$(awk -v a="$appKiB" -v b="$scanKiB" 'BEGIN {printf "%.2f", a / b}')
    timeRatios+=("$timeRatio") frameRatios+=("$frameRatio") memoryRatios+=("$memoryRatio")
    printf '%-4s %12s %12s %8s | %14s %14s %8s | %10.1f %10.1f %8s\n' "$run" "$appSeconds" "$scanSeconds" "$timeRatio" \
        "$longestScan" "$medianChart" "$frameRatio" "$(awk -v k="$appKiB" 'BEGIN {print k / 1024}')" \
        "$(awk -v k="$scanKiB" 'BEGIN {print k / 1024}')" "$memoryRatio"
done

section "Medians"
echo "time to the finished chart / scan-bench: $(median "${timeRatios[@]}")"
echo "longest frame during the scan / median frame of the chart: $(median "${frameRatios[@]}")"
echo "peak memory, program / scan-bench: $(median "${memoryRatios[@]}")"
