#!/usr/bin/env bash
# gui-compare.sh [FRAMES]: runs gui-bench on the gallery's tree at 1280 x 757 and at 3840 x 2160 under
# a virtual X server large enough for both (or on $DISPLAY when VELBRIN_USE_DISPLAY=1), FRAMES frames
# per figure (default 60). Each run prints the first frame, a steady frame, a frame that only clears
# and presents, and a frame after a resize: median time, draw calls, texture uploads and texts
# rasterised, then the steady / empty time ratio.
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"
FRAMES=${1:-60}

"$REPO_ROOT/scripts/install-deps"
configure build
cmake --build "$REPO_ROOT/build" --target gui-bench >/dev/null

for size in 1280x757 3840x2160; do
    section "gui-bench at $size"
    if [[ ${VELBRIN_USE_DISPLAY:-0} == 1 ]]; then
        "$REPO_ROOT/build/bench/gui-bench" --size "$size" --frames "$FRAMES"
    else
        xvfb-run -a -s "-screen 0 3840x2200x24" "$REPO_ROOT/build/bench/gui-bench" --size "$size" --frames "$FRAMES"
    fi
done
