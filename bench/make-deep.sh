#!/usr/bin/env bash
# make-deep.sh chain|comb LEVELS DIR: makes a deep tree for the depth benchmarks. Every level holds
# a 1-byte file "f" and the next level "d"; a comb's levels also hold an empty directory "e", so a
# walk that keeps a descriptor for a directory's later subdirectories needs one per level. Paths
# soon exceed PATH_MAX, so the tree is made level by level from inside.
set -euo pipefail
if [[ $# -ne 3 || ( $1 != chain && $1 != comb ) ]]; then
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
python3 - "$@" <<'PY'
import os, sys
kind, levels, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
os.makedirs(path)
os.chdir(path)
for _ in range(levels):
    with open("f", "wb") as f:
        f.write(b"x")
    if kind == "comb":
        os.mkdir("e")
    os.mkdir("d")
    os.chdir("d")
print(f"{kind}: {levels} levels, {levels} files of 1 byte in {path}")
PY
