#!/usr/bin/env bash
# focus-compare.sh [TREE_DIR]: what going into a folder costs on a large tree, in one run, under a
# private virtual X server. The program draws the tree's chart (frames logged through
# VELBRIN_FRAME_LOG, and redrawn without pause while it logs); a click selects a cell of the first
# row and Enter goes into it (the 0.25 s animation when smooth scrolling is on, the default). From
# the log: the median interval between frames before Enter, the longest interval from Enter to
# 0.5 s after it (the key's handling, the view change and the animation), and their ratio; one
# extra frame's worth of work would show as a ratio near 2. Default tree:
# /var/tmp/velbrin-bench/tree-1000000. Environment: RUNS (default 3).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"
TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}
RUNS=${RUNS:-3}

"$REPO_ROOT/scripts/install-deps"
configure build
cmake --build "$REPO_ROOT/build" --target velbrin >/dev/null
[[ -d "$TREE" ]] || { echo "focus-compare: $TREE is not a directory (bench/scan-compare.sh makes it)" >&2; exit 2; }

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

section "$RUNS runs"
printf '%-4s %16s %22s %8s  %s\n' run "median gap ms" "longest gap after ms" ratio "selected"
ratios=()
for ((run = 1; run <= RUNS; run++)); do
    log="$work/frames.$run"
    mkdir -p "$work/config.$run"
    (cd "$work" && DISPLAY=$display XDG_CONFIG_HOME="$work/config.$run" VELBRIN_FRAME_LOG="$log" \
        VELBRIN_EXIT_AFTER_CHART_FRAMES=600 "$REPO_ROOT/build/app/velbrin" "$TREE") &
    app=$!
    window=$(DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --pid "$app" --name 'Velbrin Preview$' | head -n 1)
    until grep -q '^chart_shown_realtime_ns' "$log" 2>/dev/null; do sleep 0.1; done
    sleep 1
    # The first row's middle: the chart starts under the header, its rows an eighth of its height.
    DISPLAY=$display xdotool mousemove --window "$window" 640 160 click 1
    sleep 1
    pressed=$(date +%s%N)
    DISPLAY=$display xdotool key Return
    wait "$app" || true
    shown_ns=$(sed -n 's/^chart_shown_realtime_ns //p' "$log")
    first_ms=$(awk '$1 == "frame" && $4 == "chart" {print $2; exit}' "$log")
    awk -v p="$pressed" -v s="$shown_ns" -v f="$first_ms" '
        BEGIN { enter = f + (p - s) / 1e6 }
        $1 == "frame" && $4 == "chart" {
            if (last != "") {
                if ($2 < enter - 50) print "before", $2 - last
                else if ($2 >= enter && $2 <= enter + 500) print "after", $2 - last
            }
            last = $2
        }' "$log" >"$work/gaps"
    before=$(median $(awk '$1 == "before" {print $2}' "$work/gaps"))
    after=$(awk '$1 == "after" && $2 > m {m = $2} END {print m + 0}' "$work/gaps")
    selected=$(grep '^details ' "$log" | tail -n 1 | cut -c9-90)
    ratio=$(awk -v a="$after" -v b="$before" 'BEGIN {printf "%.2f", a / b}')
    ratios+=("$ratio")
    printf '%-4s %16.2f %22.2f %8s  %s\n' "$run" "$before" "$after" "$ratio" "$selected"
done

section "Median"
echo "longest frame interval while going into a folder / median interval of the steady chart: $(median "${ratios[@]}")"
