#!/usr/bin/env bash
# scan-compare-windows.sh [NFILES...]: times the Windows scan-bench (cross-built, run under Wine)
# against the Linux scan-bench on the same trees, alternating, and prints the ratio of their own
# scan times (the ms= they report, which leaves out Wine's start-up) for each tree size; then
# whether the ratios of the first and last size agree within 20 %. Default sizes: 100000 and
# 1000000 files. Trees are /var/tmp/velbrin-bench/tree-N, made with bench/make-tree.sh (seed 1)
# when missing. Exits non-zero when either program's totals are wrong.
# Under Wine the host's symbolic links look like the files and folders they name (a link to an
# ancestor is left empty by the walk), so its expected totals are those of `find -L`.
# Environment: RUNS (default 5).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
SIZES=("$@")
[[ ${#SIZES[@]} -gt 0 ]] || SIZES=(100000 1000000)
RUNS=${RUNS:-5}
SEED=1
TREES=/var/tmp/velbrin-bench
LINUX_BENCH=$REPO_ROOT/build/bench/scan-bench
WINDOWS_BENCH=$REPO_ROOT/build-windows/bench/scan-bench.exe

"$REPO_ROOT/scripts/install-deps"

section "scan-bench, Linux and Windows"
configure build
cmake --build "$REPO_ROOT/build" --target scan-bench
"$REPO_ROOT/scripts/build-windows" scan-bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Private copies: a rebuild of the shared build folders during the runs must not swap them.
cp "$LINUX_BENCH" "$work/scan-bench"
cp "$WINDOWS_BENCH" "$work/scan-bench.exe"
LINUX_BENCH=$work/scan-bench
WINDOWS_BENCH=$work/scan-bench.exe

# field NAME LINE: the value of NAME=value in a line of scan-bench output.
field()
{
    sed -nE "s/(^|.* )$1=([^ ]*).*/\2/p" <<<"$2"
}

# median VALUES...: the middle value (the mean of the two middle ones for an even count).
median()
{
    printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# check WHO LINE FILES BYTES: complains when a result line's totals are not the expected ones.
check()
{
    local files bytes
    files=$(field files "$2")
    bytes=$(field bytes "$2")
    if [[ "$files" != "$3" || "$bytes" != "$4" ]]; then
        echo "MISMATCH: $1 says files=$files bytes=$bytes, expected files=$3 bytes=$4" >&2
        mismatch=1
    fi
}

mismatch=0
summary=()
medianRatios=()
for size in "${SIZES[@]}"; do
    tree=$TREES/tree-$size
    if [[ ! -e "$tree" ]]; then
        section "Making $tree ($size files, seed $SEED)"
        partial="$tree.partial"
        rm -rf "$partial"
        mkdir -p "$TREES"
        "$REPO_ROOT/bench/make-tree.sh" "$partial" "$size" "$SEED" | tail -n 1
        mv "$partial" "$tree"
    fi
    # Wine sees the host's root as drive Z:.
    windowsTree="Z:${tree//\//\\}"

    section "$tree: expected totals, warming the cache"
    linuxFiles=$(find "$tree" -type f | wc -l)
    linuxBytes=$(find "$tree" -type f -printf '%s\n' | awk '{s+=$1} END {printf "%.0f", s}')
    # find reports the link to an ancestor as a loop (and fails for it) after listing the rest.
    wineFiles=$( (find -L "$tree" -type f 2>/dev/null || true) | wc -l)
    wineBytes=$( (find -L "$tree" -type f -printf '%s\n' 2>/dev/null || true) | awk '{s+=$1} END {printf "%.0f", s}')
    echo "Linux: files=$linuxFiles bytes=$linuxBytes; under Wine (links followed): files=$wineFiles bytes=$wineBytes"
    "$LINUX_BENCH" "$tree" >/dev/null
    "$REPO_ROOT/scripts/wine-run" "$WINDOWS_BENCH" "$windowsTree" >/dev/null

    section "$tree: $RUNS runs each, alternating (scan ms as reported; wall s with Wine's start-up)"
    printf '%-4s %10s %10s | %10s %10s | %8s\n' run "Linux ms" "wall s" "Windows ms" "wall s" ratio
    ratios=() linuxMs=() windowsMs=()
    for ((run = 1; run <= RUNS; run++)); do
        start=$(date +%s.%N)
        linuxLine=$("$LINUX_BENCH" "$tree" >"$work/out" && grep -m 1 '^files=' "$work/out")
        linuxWall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
        start=$(date +%s.%N)
        windowsLine=$("$REPO_ROOT/scripts/wine-run" "$WINDOWS_BENCH" "$windowsTree" >"$work/out" && tr -d '\r' <"$work/out" | grep -m 1 '^files=')
        windowsWall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
        check "Linux scan-bench (run $run)" "$linuxLine" "$linuxFiles" "$linuxBytes"
        check "Windows scan-bench (run $run)" "$windowsLine" "$wineFiles" "$wineBytes"
        lm=$(field ms "$linuxLine")
        wm=$(field ms "$windowsLine")
        ratio=$(awk -v w="$wm" -v l="$lm" 'BEGIN {print (l > 0) ? sprintf("%.3f", w / l) : "n/a"}')
        [[ $ratio == n/a ]] || ratios+=("$ratio")
        linuxMs+=("$lm") windowsMs+=("$wm")
        printf '%-4s %10s %10s | %10s %10s | %8s\n' "$run" "$lm" "$linuxWall" "$wm" "$windowsWall" "$ratio"
    done
    medianRatio=$(median "${ratios[@]}")
    medianRatios+=("$medianRatio")
    summary+=("$size files: Linux $(median "${linuxMs[@]}") ms, Windows under Wine $(median "${windowsMs[@]}") ms, median ratio Windows/Linux $medianRatio")
done

section "Summary"
printf '%s\n' "${summary[@]}"
if [[ ${#medianRatios[@]} -ge 2 ]]; then
    first=${medianRatios[0]}
    last=${medianRatios[${#medianRatios[@]} - 1]}
    awk -v a="$first" -v b="$last" 'BEGIN {
        d = (a > 0) ? (b - a) / a * 100 : 0
        printf "ratios %.3f and %.3f differ by %+.1f %%: %s\n", a, b, d, (d <= 20 && d >= -20) ? "they agree within 20 %" : "they do NOT agree within 20 %" }'
fi
if [[ $mismatch -ne 0 ]]; then
    echo "FAILED: some totals were wrong (see MISMATCH above)" >&2
    exit 1
fi
echo "correct: every run gave the expected files and bytes"
