#!/bin/sh
# SPDX-License-Identifier: MIT
# Three shards of one source list, run side by side with GNU parallel into one folder,
# write exactly what one run writes, and stamp each source exactly once.
# Usage: stamp_shards_parallel.sh <velloran-stamp> <folder of sample pictures>
set -eu
stamp=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/one" "$work/three" "$work/temp" "$work/config"
export TEMP="$work/temp" XDG_CONFIG_HOME="$work/config" HOME="$work"

# Fourteen sources, some with names a shell would split.
i=0
for round in 1 2; do
    for picture in "$samples"/*.jpg "$samples"/*.png "$samples"/*.gif "$samples"/*.bmp "$samples"/*.tif; do
        i=$((i + 1))
        name=$(basename "$picture")
        cp "$picture" "$work/in/$i $round-$name"
    done
done

"$stamp" -Q -j 1 -m name --ext '*' -o "$work/one" "$work/in"
parallel --will-cite -j 3 "\"$stamp\" -Q -j 1 -m name --ext '*' --json --shard {}/3 \
    -o \"$work/three\" \"$work/in\" > \"$work/shard-{}.json\"" ::: 1 2 3

fail() {
    echo "stamp shards: $*" >&2
    exit 1
}
sources=$(find "$work/in" -type f | wc -l)
[ "$sources" -ge 8 ] || fail "only $sources sources"
lines=$(cat "$work"/shard-*.json | wc -l)
[ "$lines" -eq "$sources" ] || fail "$lines JSON lines for $sources sources"
duplicates=$(cat "$work"/shard-*.json | sed 's/^{"source":\("[^"]*"\).*/\1/' | sort | uniq -d)
[ -z "$duplicates" ] || fail "stamped twice: $duplicates"
if grep -L '"status":"ok"' "$work"/shard-*.json | grep -q .; then
    fail "a shard stamped nothing"
fi
! grep -h -v '"status":"ok"' "$work"/shard-*.json || fail "a source failed"
diff -r "$work/one" "$work/three" || fail "three shards differ from one run"
[ "$(ls -A "$work/three" | wc -l)" -eq "$sources" ] || fail "wrong number of copies"
echo "stamp shards: $sources sources, three shards side by side equal one run"
