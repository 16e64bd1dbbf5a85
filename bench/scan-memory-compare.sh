#!/usr/bin/env bash
# scan-memory-compare.sh: velbrin-scan's peak memory (/usr/bin/time's maximum resident set) on a
# 100,000-file and on the 1,000,000-file tree, and its time on the 1,000,000-file tree against
# `ncdu -o` and against its own whole-tree path (--whole-tree: the tree built, then written), in
# alternating runs; medians and the median of the run-by-run ratios. Also checks on every tree,
# the deep ones included, that the streamed export is the whole-tree export byte for byte (the
# timestamp aside). Trees in /var/tmp/velbrin-bench: tree-100000 is made with make-tree.sh when
# missing, tree-1000000 must exist (bench/scan-compare.sh makes it), chain-20000 and comb-20000 are
# used when present (make-deep.sh). Environment: RUNS (default 5), BUILD_DIR (default build).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ $# -gt 0 ]]; then
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
BENCH=/var/tmp/velbrin-bench
SMALL=$BENCH/tree-100000
LARGE=$BENCH/tree-1000000
RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build}
TIME=/usr/bin/time
[[ -d "$LARGE" ]] || { echo "scan-memory-compare: $LARGE is missing (bench/scan-compare.sh makes it)" >&2; exit 2; }
command -v ncdu >/dev/null || "$REPO_ROOT/scripts/install-deps"
if [[ ! -d "$SMALL" ]]; then
    section "Making $SMALL"
    mkdir -p "$SMALL"
    "$REPO_ROOT/bench/make-tree.sh" "$SMALL" 100000 1
fi

section "Building velbrin-scan"
configure "$BUILD_DIR"
cmake --build "$REPO_ROOT/$BUILD_DIR" --target velbrin-scan
SCAN="$REPO_ROOT/$BUILD_DIR/tools/velbrin-scan"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# timed NAME COMMAND...: runs COMMAND under /usr/bin/time, appending "seconds KiB" to $work/NAME.runs.
timed()
{
    local name=$1
    shift
    "$TIME" -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/$name.err" || {
        echo "$name failed:" >&2
        cat "$work/$name.err" >&2
        exit 1
    }
    cat "$work/time" >>"$work/$name.runs"
}

# median NAME COLUMN: the median of one column (1 = seconds, 2 = KiB) of NAME's runs.
median()
{
    awk -v c="$2" '{print $c}' "$work/$1.runs" | sort -g |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# ratio A B COLUMN: the median over runs of A's figure divided by B's.
ratio()
{
    paste -d ' ' "$work/$1.runs" "$work/$2.runs" | awk -v c="$3" '{print $c / $(c + 2)}' | sort -g |
        awk '{v[NR] = $1} END {printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

section "Same export, streamed and whole-tree"
for tree in "$SMALL" "$LARGE" "$BENCH/chain-20000" "$BENCH/comb-20000"; do
    [[ -d "$tree" ]] || continue
    name=$(basename "$tree")
    timed "identity-$name" "$SCAN" "$tree" -q -o "$work/streamed.json"
    "$SCAN" "$tree" -q --whole-tree -o "$work/whole.json"
    if ! cmp -s <(sed -E 's/"timestamp":[0-9]+/"timestamp":0/' "$work/streamed.json") \
        <(sed -E 's/"timestamp":[0-9]+/"timestamp":0/' "$work/whole.json"); then
        echo "MISMATCH on $tree: the streamed export differs from the whole-tree export" >&2
        exit 1
    fi
    echo "$name: identical, $(stat -c %s "$work/streamed.json") bytes; streamed peak $(awk '{print $2}' "$work/identity-$name.runs") KiB"
done
rm -f "$work/streamed.json" "$work/whole.json"

section "Warming the cache"
du -sb "$SMALL" "$LARGE" >/dev/null

section "$RUNS runs each, alternating"
for ((run = 1; run <= RUNS; run++)); do
    timed small "$SCAN" "$SMALL" -q -o "$work/out.json"
    timed large "$SCAN" "$LARGE" -q -o "$work/out.json"
    timed whole "$SCAN" "$LARGE" -q --whole-tree -o "$work/out.json"
    timed ncdu ncdu -0 -o "$work/ncdu.json" "$LARGE"
    echo "run $run: 100k $(tail -n 1 "$work/small.runs") | 1M $(tail -n 1 "$work/large.runs") |" \
        "1M --whole-tree $(tail -n 1 "$work/whole.runs") | ncdu -o $(tail -n 1 "$work/ncdu.runs")  (s KiB)"
done

section "Medians (ratios: the median of the run-by-run ratios)"
printf 'peak memory: 100k %s KiB, 1M %s KiB (1M --whole-tree %s KiB, ncdu -o %s KiB)\n' "$(median small 2)" \
    "$(median large 2)" "$(median whole 2)" "$(median ncdu 2)"
printf '  1M / 100k                   %s (goal <= 1.2)\n' "$(ratio large small 2)"
printf 'time on 1M: streamed %ss, --whole-tree %ss, ncdu -o %ss\n' "$(median large 1)" "$(median whole 1)" \
    "$(median ncdu 1)"
printf '  streamed / --whole-tree     %s (goal <= 1.05)\n' "$(ratio large whole 1)"
printf '  streamed / ncdu -o          %s\n' "$(ratio large ncdu 1)"
