#!/usr/bin/env bash
# make-scan-file.sh ENTRIES OUTPUT.json.zst [SEED]: a large synthetic scan file in the JSON export
# format, for benchmarks of opening stored scans (velbrin-snapshot, gdu -f, ncdu -f). ENTRIES files
# and folders in a tree of varied fan-out (folders of 2-40 entries, about one in eight a folder,
# nesting up to 24 levels), log-normal file sizes (median ~3 KB, heavy tail), ASCII names; the
# same ENTRIES and SEED give the same bytes. Compressed by zstd on all cores as it is written;
# 50,000,000 entries take a few minutes. Needs python3 and zstd.
set -euo pipefail
if [[ $# -lt 2 ]]; then sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; fi
ENTRIES=$1 OUTPUT=$2 SEED=${3:-1}
python3 - "$ENTRIES" "$SEED" <<'PY' | zstd -q -T0 -3 -f -o "$OUTPUT"
import math, random, sys

total, seed = int(sys.argv[1]), int(sys.argv[2])
rand = random.Random(seed).random
out = sys.stdout
buf = []
flush_at = 1 << 16

def emit(text):
    buf.append(text)
    if len(buf) >= flush_at:
        out.write("".join(buf))
        buf.clear()

def size():
    if rand() < 0.01:
        return 0
    z = math.sqrt(-2.0 * math.log(1.0 - rand())) * math.cos(2 * math.pi * rand())
    return max(1, int(math.exp(8.0 + 1.85 * z)))

emit('[1,2,{"progname":"velbrin-bench","progver":"0.2.0","timestamp":1700000000},\n[{"name":"/synthetic"}')
made = 1
# Each open folder: how many entries it still takes. Iterative, so any depth is safe.
stack = [int(2 + rand() * 38)]
while stack:
    if stack[-1] == 0 or made >= total:
        stack.pop()
        emit("]")
        continue
    stack[-1] -= 1
    made += 1
    if rand() < 0.125 and len(stack) < 24:
        emit(',\n[{"name":"dir%d"}' % made)
        stack.append(int(2 + rand() * 38))
    else:
        emit(',\n{"name":"file%d.dat","asize":%d}' % (made, size()))
    # The root keeps taking entries until the total is reached.
    if len(stack) == 1 and stack[0] == 0 and made < total:
        stack[0] = int(2 + rand() * 38)
emit("]\n")
out.write("".join(buf))
print("entries=%d" % made, file=sys.stderr)
PY
