#!/usr/bin/env bash
# depth-app-compare.sh [LEVELS] [SHALLOW_LEVELS]: the whole program on deep trees, through
# app-compare.sh (time from start to the finished chart against scan-bench's, the longest frame
# while the scan is shown, peak memory), on a chain of SHALLOW_LEVELS directories (default 1000),
# a chain of LEVELS (default 20000) and a comb of LEVELS (see make-deep.sh). Then the program's
# peak memory on each deep tree against the shallow chain's, and the longest scanning frame
# against the shallow chain's: a walk's depth must cost neither. Trees are kept under
# /var/tmp/velbrin-bench. Environment: RUNS (default 5).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LEVELS=${1:-20000}
SHALLOW=${2:-1000}
BASE=/var/tmp/velbrin-bench

median()
{
    printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

declare -A memory frame
for spec in "chain $SHALLOW" "chain $LEVELS" "comb $LEVELS"; do
    read -r kind levels <<<"$spec"
    tree="$BASE/$kind-$levels"
    if [[ ! -e "$tree" ]]; then
        rm -rf "$tree.partial"
        mkdir -p "$BASE"
        "$REPO_ROOT/bench/make-deep.sh" "$kind" "$levels" "$tree.partial" >/dev/null
        mv "$tree.partial" "$tree"
    fi
    echo "== $kind of $levels levels"
    output=$("$REPO_ROOT/bench/app-compare.sh" "$tree")
    echo "$output"
    # Per-run rows: run, to chart, scan-bench, ratio | longest scan ms, median chart ms, ratio | app MiB, ...
    memory[$spec]=$(median $(awk '$1 ~ /^[0-9]+$/ && $9 == "|" {print $10}' <<<"$output"))
    frame[$spec]=$(median $(awk '$1 ~ /^[0-9]+$/ && $5 == "|" {print $6}' <<<"$output"))
done

echo "== Against the chain of $SHALLOW levels (medians)"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "n/a"}'; }
for spec in "chain $LEVELS" "comb $LEVELS"; do
    printf '%-14s peak memory %8s MiB / %8s MiB = %s; longest scanning frame %8s ms / %8s ms = %s\n' "$spec" \
        "${memory[$spec]}" "${memory[chain $SHALLOW]}" "$(ratio "${memory[$spec]}" "${memory[chain $SHALLOW]}")" \
        "${frame[$spec]}" "${frame[chain $SHALLOW]}" "$(ratio "${frame[$spec]}" "${frame[chain $SHALLOW]}")"
done
echo "(a frame ratio of n/a: the shallow walk ended before its first frame; compare each tree's longest"
echo " scanning frame with its chart frames above instead)"
