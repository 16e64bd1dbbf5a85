#!/usr/bin/env bash
# scan-files-compare.sh [TREE_DIR]: times writing and reading scan files on the same tree, in one
# run, alternately. Writing: velbrin-scan TREE -o out.json against `ncdu -o` and `gdu -n -o`, and
# against scan-bench (the scan alone). Reading: scan-bench --import of velbrin-scan's export (the
# program's own import until the tree is built) against `gdu -f` of the same file, and against a
# fresh scan. Also checks that the export's totals are find's. Default tree
# /var/tmp/velbrin-bench/tree-1000000 (made by scan-compare.sh). Environment: RUNS (default 5).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ $# -gt 1 || ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
TREE=${1:-/var/tmp/velbrin-bench/tree-1000000}
RUNS=${RUNS:-5}
TIME=/usr/bin/time
[[ -d "$TREE" ]] || { echo "scan-files-compare: $TREE is not a directory (bench/scan-compare.sh makes it)" >&2; exit 2; }

"$REPO_ROOT/scripts/install-deps"
section "Building velbrin-scan and scan-bench"
configure build
cmake --build "$REPO_ROOT/build" --target velbrin-scan scan-bench
SCAN="$REPO_ROOT/build/tools/velbrin-scan"
SCAN_BENCH="$REPO_ROOT/build/bench/scan-bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

section "Warming the cache"
du -sb "$TREE" >/dev/null
expectedFiles=$(find "$TREE" -type f | wc -l)
expectedBytes=$(find "$TREE" -type f -printf '%s\n' | awk '{s+=$1} END {printf "%.0f", s}')
echo "expected: files=$expectedFiles bytes=$expectedBytes"

# timed NAME COMMAND...: runs COMMAND under /usr/bin/time, appending "seconds KiB" to $work/NAME.
timed()
{
    local name=$1
    shift
    "$TIME" -f '%e %M' -o "$work/time" "$@" >"$work/$name.out" 2>"$work/$name.err" || {
        echo "$name failed:" >&2
        cat "$work/$name.err" >&2
        exit 1
    }
    cat "$work/time" >>"$work/$name.runs"
}

# median NAME COLUMN: the median of one column of NAME's runs.
median()
{
    awk -v c="$2" '{print $c}' "$work/$1.runs" | sort -g |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

section "Writing: $RUNS runs each, alternating"
for ((run = 1; run <= RUNS; run++)); do
    timed velbrin "$SCAN" "$TREE" -q -o "$work/velbrin.json"
    timed ncdu ncdu -0 -o "$work/ncdu.json" "$TREE"
    timed gdu gdu -n -p -o "$work/gdu.json" "$TREE"
    timed scan "$SCAN_BENCH" "$TREE"
    echo "run $run: velbrin-scan $(tail -n 1 "$work/velbrin.runs") | ncdu $(tail -n 1 "$work/ncdu.runs") |" \
        "gdu $(tail -n 1 "$work/gdu.runs") | scan-bench $(tail -n 1 "$work/scan.runs")  (s KiB)"
done

section "Reading velbrin-scan's export: $RUNS runs each, alternating"
for ((run = 1; run <= RUNS; run++)); do
    timed import "$SCAN_BENCH" "$work/velbrin.json" --import
    timed gduimport gdu -n -p -f "$work/velbrin.json"
    timed rescan "$SCAN_BENCH" "$TREE"
    echo "run $run: import $(tail -n 1 "$work/import.runs") | gdu -f $(tail -n 1 "$work/gduimport.runs") |" \
        "scan $(tail -n 1 "$work/rescan.runs")  (s KiB)"
done
result=$(grep -m 1 '^files=' "$work/import.out")
if [[ "$result" != "files=$expectedFiles "*"bytes=$expectedBytes "* ]]; then
    echo "MISMATCH: the import says $result, find says files=$expectedFiles bytes=$expectedBytes" >&2
    exit 1
fi
echo "import totals match find: $result"

section "Medians (ratios: the median of the run-by-run ratios)"
# ratio A B [COLUMN]: the median over runs of A's figure divided by B's (1 = seconds, 2 = KiB).
ratio()
{
    paste -d ' ' "$work/$1.runs" "$work/$2.runs" | awk -v c="${3:-1}" '{print $c / $(c + 2)}' | sort -g |
        awk '{v[NR] = $1} END {printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
printf 'write: velbrin-scan %ss, ncdu %ss, gdu %ss, scan-bench %ss\n' "$(median velbrin 1)" "$(median ncdu 1)" \
    "$(median gdu 1)" "$(median scan 1)"
printf '  velbrin-scan / ncdu         %s (goal < 1)\n' "$(ratio velbrin ncdu)"
printf '  velbrin-scan / gdu          %s (goal < 1)\n' "$(ratio velbrin gdu)"
printf '  velbrin-scan / scan-bench   %s (goal <= 1.15)\n' "$(ratio velbrin scan)"
printf 'read: import %ss, gdu -f %ss, fresh scan %ss; peak memory import %s KiB, scan %s KiB\n' "$(median import 1)" \
    "$(median gduimport 1)" "$(median rescan 1)" "$(median import 2)" "$(median rescan 2)"
printf '  import / gdu -f             %s (goal <= 0.5)\n' "$(ratio import gduimport)"
printf '  import / fresh scan         %s (goal <= 0.5)\n' "$(ratio import rescan)"
printf '  import memory / scan memory %s (goal <= 1.1)\n' "$(ratio import rescan 2)"
