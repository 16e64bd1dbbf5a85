#!/usr/bin/env bash
# mesh-compare.sh [TREE_DIR]: in one run, alternately times scan-bench (the whole scan) and
# mesh-bench (the mesh build alone, after its own scan) on the same tree, RUNS times each, and
# prints the medians and the ratio build / scan, plus the selectRanges cost per call. Then
# mesh-bench --synthetic 5000000 for a tree far larger than the scanned one.
# Default tree: /var/tmp/velbrin-bench/tree-1000000 (made by scan-compare.sh).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}
RUNS=${RUNS:-5}
if [[ ! -d "$TREE" ]]; then
    echo "mesh-compare: $TREE does not exist; make it with bench/scan-compare.sh or bench/make-tree.sh" >&2
    exit 1
fi
configure build
cmake --build "$REPO_ROOT/build" --target scan-bench mesh-bench >/dev/null

scan_ms=()
build_ms=()
select_us=()
"$REPO_ROOT/build/bench/scan-bench" "$TREE" >/dev/null # warm the inode cache
for ((i = 0; i < RUNS; i++)); do
    scan=$("$REPO_ROOT/build/bench/scan-bench" "$TREE" | sed -nE 's/.* ms=([0-9.]+).*/\1/p')
    mesh=$("$REPO_ROOT/build/bench/mesh-bench" "$TREE")
    build=$(sed -nE 's/^nodes=.* ms=([0-9.]+).*/\1/p' <<<"$mesh")
    select=$(sed -nE 's/.* us_per_call=([0-9.]+).*/\1/p' <<<"$mesh")
    echo "run $((i + 1)): scan ${scan} ms, mesh build ${build} ms, selectRanges ${select} us/call"
    scan_ms+=("$scan")
    build_ms+=("$build")
    select_us+=("$select")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
ms=$(median "${scan_ms[@]}")
mb=$(median "${build_ms[@]}")
echo "$(grep '^nodes=' <<<"$mesh")"
echo "median scan ${ms} ms, median mesh build ${mb} ms, ratio build/scan $(awk -v a="$mb" -v b="$ms" 'BEGIN {printf "%.4f", a / b}')"
echo "median selectRanges $(median "${select_us[@]}") us/call"
section "synthetic tree of 5,000,000 nodes"
"$REPO_ROOT/build/bench/mesh-bench" --synthetic 5000000
