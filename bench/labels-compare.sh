#!/usr/bin/env bash
# labels-compare.sh [RUNS]: what labels in every script cost, in one run. Two 1,000,000-file trees
# of the same shape and sizes (bench/make-tree.sh seed 1, names "ascii" and "scripts": Cyrillic,
# Greek, CJK, Arabic and Latin with accents, made on first use under /var/tmp/velbrin-bench) are
# built into charts alternately RUNS times (default 5) by mesh-bench (glyph page included; the
# ratio scripts/ascii is wanted at most 1.15): as the program does it ("warm": mesh-bench --warm
# scans with a GlyphWarmer drawing the names' glyphs during the scan, then builds), and cold (a
# finished tree built in a fresh process, every glyph drawn by the build), glyph-page-bench draws 128 characters in fresh
# processes (first_ms: faces, outlines and fields, wanted under 150 ms; cached_ms: a chart built
# again in the same process), and frame-bench times frames of both charts (ratio wanted at most 1.1).
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=SCRIPTDIR/../scripts/common.sh
source "$REPO_ROOT/scripts/common.sh"
RUNS=${1:-5}
BASE=/var/tmp/velbrin-bench
for names in ascii scripts; do
    if [[ ! -d $BASE/tree-1000000-$names ]]; then
        echo "making $BASE/tree-1000000-$names (a few minutes)" >&2
        "$REPO_ROOT/bench/make-tree.sh" "$BASE/tree-1000000-$names" 1000000 1 "$names" >/dev/null
    fi
done
configure build
cmake --build "$REPO_ROOT/build" --target mesh-bench glyph-page-bench frame-bench >/dev/null
B=$REPO_ROOT/build/bench

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
build_ms() { "$B/mesh-bench" "$@" | sed -n 's/^nodes=.* ms=//p'; }
for mode in warm cold; do
    flag=()
    [[ $mode == warm ]] && flag=(--warm)
    ascii=() scripts=()
    for ((i = 0; i < RUNS; ++i)); do
        ascii+=("$(build_ms "${flag[@]}" "$BASE/tree-1000000-ascii")")
        scripts+=("$(build_ms "${flag[@]}" "$BASE/tree-1000000-scripts")")
    done
    a=$(printf '%s\n' "${ascii[@]}" | median)
    s=$(printf '%s\n' "${scripts[@]}" | median)
    echo "chart build ms ($mode): ascii ${ascii[*]} | scripts ${scripts[*]}"
    echo "chart_build_${mode}: ascii_ms=$a scripts_ms=$s ratio=$(awk -v s="$s" -v a="$a" 'BEGIN {printf "%.2f", s / a}')"
done

first=()
for ((i = 0; i < RUNS; ++i)); do
    line=$("$B/glyph-page-bench" --runs 3)
    first+=("$(sed -n 's/.*first_ms=\([0-9.]*\).*/\1/p' <<<"$line")")
    cached=$(sed -n 's/.*cached_ms=\([0-9.]*\).*/\1/p' <<<"$line")
done
echo "glyph page, 128 characters: first_ms ${first[*]} median $(printf '%s\n' "${first[@]}" | median); cached_ms $cached"

FRAMES=()
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then FRAMES=(xvfb-run -a -s "-screen 0 1280x1024x24"); fi
for names in ascii scripts; do
    "${FRAMES[@]}" "$B/frame-bench" "$BASE/tree-1000000-$names" --frames 61 \
        | sed -n "s/^tree=large zoom=\([^ ]*\) labels=on median_ms=\([0-9.]*\).*/$names \1 \2/p"
done | awk '{ms[$1 " " $2] = $3; zooms[$2] = 1}
    END {for (z in zooms) printf "frame zoom=%s ascii_ms=%s scripts_ms=%s ratio=%.2f\n", z, ms["ascii " z], ms["scripts " z], ms["scripts " z] / ms["ascii " z]}'
