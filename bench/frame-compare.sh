#!/usr/bin/env bash
# frame-compare.sh [TREE_1M [TREE_1K]] [--frames N]: builds frame-bench and runs it — frames of
# the chart of a 1,000,000-file tree against a 1,000-file one at three zooms, with and without the
# label pass, and the large chart with and without its small-item blocks (ratio blocks/noblocks,
# at most 1.10 wanted) — under xvfb-run when there is no display. Default large tree:
# /var/tmp/velbrin-bench/tree-1000000 (made by scan-compare.sh or bench/make-tree.sh).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"

if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
TREE=/var/tmp/velbrin-bench/tree-1000000
if [[ $# -gt 0 && $1 != -* ]]; then TREE=$1; shift; fi
if [[ ! -d "$TREE" ]]; then
    echo "frame-compare: $TREE does not exist; make it with bench/scan-compare.sh or bench/make-tree.sh" >&2
    exit 1
fi
configure build
cmake --build "$REPO_ROOT/build" --target frame-bench >/dev/null

BENCH=("$REPO_ROOT/build/bench/frame-bench" "$TREE" "$@")
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "${BENCH[@]}"
else
    "${BENCH[@]}"
fi
