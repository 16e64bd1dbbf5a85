#!/usr/bin/env bash
# hover-compare.sh [TREE_DIR]: what moving the pointer across the chart's cells costs per frame.
# `velbrin TREE` runs on a private virtual X server with its frame log (VELBRIN_FRAME_LOG, which
# makes every frame ask for the next, so the finished chart is drawn steadily); once the chart is
# shown, the pointer sweeps rows 1 and 2 in small steps. A frame logged right after a "details"
# line is one whose cell changed (a lookup, the line built and rasterised once); every other chart
# frame is a steady one. Prints the medians and their ratios (goal: at most 1.2). Default tree:
# /var/tmp/velbrin-bench/tree-1000000 (made by bench/scan-compare.sh when missing).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"
TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}

if [[ -z ${VELBRIN_BENCH_NO_SETUP:-} ]]; then
    "$REPO_ROOT/scripts/install-deps"
    configure build
fi
cmake --build "$REPO_ROOT/build" --target velbrin >/dev/null
if [[ ! -d "$TREE" ]]; then
    RUNS=1 "$REPO_ROOT/bench/scan-compare.sh" "$TREE" >/dev/null
fi

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
trap '[[ -n $app ]] && kill $app 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

median()
{
    printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

(cd "$work" && DISPLAY=$display VELBRIN_FRAME_LOG="$work/frames" exec "$REPO_ROOT/build/app/velbrin" "$TREE") &
app=$!
for _ in $(seq 600); do
    grep -q '^chart_shown_realtime_ns' "$work/frames" 2>/dev/null && break
    sleep 0.1
done
grep -q '^chart_shown_realtime_ns' "$work/frames" || { echo "hover-compare: the chart never showed" >&2; exit 1; }
window=$(DISPLAY=$display xdotool search --pid "$app" --name 'Velbrin Preview$' | head -n 1)
read -r width height < <(DISPLAY=$display xdotool getwindowgeometry --shell "$window" | awk -F= '/WIDTH/ {w=$2} /HEIGHT/ {h=$2} END {print w, h}')
sleep 2 # steady frames first
# Rows 1 and 2 of a chart under a header about 100 pixels high, rows 1/8 of the rest.
for y in $((100 + (height - 100) / 16)) $((100 + 3 * (height - 100) / 16)); do
    for x in $(seq 4 6 $((width - 4))); do
        DISPLAY=$display xdotool mousemove --window "$window" "$x" "$y"
        sleep 0.02
    done
done
sleep 1
kill "$app"
wait "$app" 2>/dev/null || true
app=

# Chart frames in order, with whether each showed a new cell; the steady ones are counted apart
# before the sweep (the pointer still) and during it (the pointer moving within cells, which also
# takes in the CPU time xdotool itself costs every 20 ms).
kinds=() times=()
previous=
while read -r kind _ ms shown; do
    if [[ $kind == frame && $shown == chart ]]; then
        times+=("$ms")
        if [[ $previous == details ]]; then kinds+=(hover); else kinds+=(steady); fi
    fi
    previous=$kind
done < <(sed -n '/^chart_shown_realtime_ns/,$p' "$work/frames")
first=-1 last=-1
for i in "${!kinds[@]}"; do
    if [[ ${kinds[$i]} == hover ]]; then
        (( first < 0 )) && first=$i
        last=$i
    fi
done
(( first >= 0 )) || { echo "hover-compare: no frame showed a new cell" >&2; exit 1; }
still=() moving=() hover=()
for i in "${!kinds[@]}"; do
    if [[ ${kinds[$i]} == hover ]]; then hover+=("${times[$i]}")
    elif (( i < first )); then still+=("${times[$i]}")
    elif (( i < last )); then moving+=("${times[$i]}")
    fi
done
stillMs=$(median "${still[@]}")
movingMs=$(median "${moving[@]}")
hoverMs=$(median "${hover[@]}")
ratio()
{
    awk -v a="$1" -v b="$2" 'BEGIN {print (b > 0) ? sprintf("%.3f", a / b) : "n/a"}'
}
section "pointer sweep over $TREE"
echo "steady chart frames, pointer still: ${#still[@]}, median $stillMs ms"
echo "steady chart frames, pointer moving within a cell: ${#moving[@]}, median $movingMs ms"
echo "frames with a new cell: ${#hover[@]}, median $hoverMs ms"
echo "new cell / moving within a cell: $(ratio "$hoverMs" "$movingMs")"
echo "new cell / pointer still: $(ratio "$hoverMs" "$stillMs")"
