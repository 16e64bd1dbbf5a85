#!/usr/bin/env bash
# scan-compare.sh [TREE_DIR] [NFILES]: times scan-bench against `du -sb` on the same tree and
# checks scan-bench's totals against find. The tree is made once with bench/make-tree.sh (seed 1)
# when TREE_DIR does not exist; default /var/tmp/velbrin-bench/tree-1000000 with 1000000 files.
# Each tool runs RUNS times (default 5), alternately, after one run that warms the inode cache,
# so both read from memory. Exits non-zero when scan-bench's files= or bytes= is wrong.
# Environment: RUNS (default 5), SCAN_BENCH (default build/bench/scan-bench, built if needed).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ $# -gt 2 || ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}
NFILES=${2:-1000000}
RUNS=${RUNS:-5}
SEED=1
SCAN_BENCH=${SCAN_BENCH:-$REPO_ROOT/build/bench/scan-bench} # another build may be compared
TIME=/usr/bin/time

"$REPO_ROOT/scripts/install-deps"

section "scan-bench"
configure build
cmake --build "$REPO_ROOT/build" --target scan-bench

if [[ ! -e "$TREE" ]]; then
    section "Making $TREE ($NFILES files, seed $SEED)"
    # Generated beside its final name and renamed when complete, so an interrupted run never
    # leaves a partial tree that a later run would take for the real one.
    partial="$TREE.partial"
    rm -rf "$partial"
    mkdir -p "$(dirname "$TREE")"
    "$REPO_ROOT/bench/make-tree.sh" "$partial" "$NFILES" "$SEED" | tail -n 1
    mv "$partial" "$TREE"
fi
[[ -d "$TREE" ]] || { echo "scan-compare: $TREE is not a directory" >&2; exit 2; }

section "Warming the cache"
du -sb "$TREE" >/dev/null

# What a correct scan reports: every regular-file entry (symlinks not followed, each hard link on
# its own) with its logical size.
expectedFiles=$(find "$TREE" -type f | wc -l)
expectedBytes=$(find "$TREE" -type f -printf '%s\n' | awk '{s+=$1} END {printf "%.0f", s}')
echo "expected: files=$expectedFiles bytes=$expectedBytes"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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

section "$RUNS runs each, alternating (wall seconds, peak RSS)"
printf '%-4s %12s %10s %12s | %10s %10s %8s\n' run "scan-bench s" "RSS MiB" "its own ms" "du -sb s" "RSS MiB" ratio
sbSeconds=() duSeconds=() sbKiB=() ratios=()
mismatch=0
nodes=0
for ((run = 1; run <= RUNS; run++)); do
    "$TIME" -f '%e %M' -o "$work/time" "$SCAN_BENCH" "$TREE" >"$work/out"
    read -r sbS sbK <"$work/time"
    result=$(grep -m 1 '^files=' "$work/out")
    files=$(field files "$result")
    bytes=$(field bytes "$result")
    nodes=$((files + $(field dirs "$result")))
    if [[ "$files" != "$expectedFiles" || "$bytes" != "$expectedBytes" ]]; then
        echo "MISMATCH in run $run: scan-bench says files=$files bytes=$bytes" >&2
        mismatch=1
    fi

    "$TIME" -f '%e %M' -o "$work/time" du -sb "$TREE" >/dev/null
    read -r duS duK <"$work/time"

    ratio=$(awk -v a="$sbS" -v b="$duS" 'BEGIN {print (b > 0) ? sprintf("%.3f", a / b) : "n/a"}')
    [[ $ratio == n/a ]] || ratios+=("$ratio")
    sbSeconds+=("$sbS") duSeconds+=("$duS") sbKiB+=("$sbK")
    printf '%-4s %12s %10.1f %12s | %10s %10.1f %8s\n' "$run" "$sbS" "$(awk -v k="$sbK" 'BEGIN {print k / 1024}')" \
        "$(field ms "$result")" "$duS" "$(awk -v k="$duK" 'BEGIN {print k / 1024}')" "$ratio"
done

section "Summary"
medianKiB=$(median "${sbKiB[@]}")
echo "median wall time: scan-bench $(median "${sbSeconds[@]}") s, du -sb $(median "${duSeconds[@]}") s"
if [[ ${#ratios[@]} -gt 0 ]]; then
    echo "median ratio scan-bench/du: $(median "${ratios[@]}")"
else
    echo "median ratio scan-bench/du: n/a (du took under 10 ms; use a larger tree)"
fi
awk -v k="$medianKiB" -v n="$nodes" 'BEGIN {
    printf "scan-bench peak RSS: %.1f MiB (median) for %d nodes = %.1f bytes per node\n", k / 1024, n, n ? k * 1024 / n : 0 }'
if [[ $mismatch -ne 0 ]]; then
    echo "FAILED: scan-bench's totals differ from find's (files=$expectedFiles bytes=$expectedBytes)" >&2
    exit 1
fi
echo "correct: files=$expectedFiles bytes=$expectedBytes in every run"
