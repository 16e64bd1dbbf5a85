#!/usr/bin/env bash
# depth-compare.sh [LEVELS] [COMB_LEVELS]: times scan-bench against `du -sb` on a chain of LEVELS
# directories (default 40000) and a comb of COMB_LEVELS (default 25000; see make-deep.sh), each with
# bench/scan-compare.sh, which also fails when a total is not exact. Compare the chain's median ratio
# with the one scan-compare.sh gives for the 1,000,000-file tree: the walk's cost must not grow
# with depth. The comb runs at the default descriptor limit, which it exceeds. Trees are kept under
# /var/tmp/velbrin-bench for later runs. Environment: RUNS, SCAN_BENCH (as scan-compare.sh).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LEVELS=${1:-40000}
COMB_LEVELS=${2:-25000}
BASE=/var/tmp/velbrin-bench

for spec in "chain $LEVELS" "comb $COMB_LEVELS"; do
    read -r kind levels <<<"$spec"
    tree="$BASE/$kind-$levels"
    if [[ ! -e "$tree" ]]; then
        rm -rf "$tree.partial"
        mkdir -p "$BASE"
        "$REPO_ROOT/bench/make-deep.sh" "$kind" "$levels" "$tree.partial"
        mv "$tree.partial" "$tree"
    fi
    echo "== $kind of $levels levels (descriptor limit: soft $(ulimit -Sn), hard $(ulimit -Hn))"
    "$REPO_ROOT/bench/scan-compare.sh" "$tree"
done
