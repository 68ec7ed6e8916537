#!/bin/sh
# Converts the same source files with two builds of brandel-convert and compares what they give:
# every CHN file byte for byte, and every failure line (file name and reason) on standard error.
#
#   tools/compare_builds.sh OLD_CONVERT NEW_CONVERT VARIANTS_DIR
#
# VARIANTS_DIR holds one folder per ORG type index, as brandel-make-variants writes it.
set -eu
if [ $# -ne 3 ]; then
    echo "usage: $0 OLD_CONVERT NEW_CONVERT VARIANTS_DIR" >&2
    exit 2
fi
old=$1
new=$2
variants=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for dir in "$variants"/*/; do
    type=$(basename "$dir")
    for build in old new; do
        if [ $build = old ]; then convert=$old; else convert=$new; fi
        mkdir -p "$work/$build/$type"
        "$convert" --type "$type" --out "$work/$build/$type" "$dir"* \
            2>"$work/$build/$type.failures" || true
    done
    files=$(ls "$dir" | wc -l)
    written=$(ls "$work/new/$type" | wc -l)
    echo "type $type: $files files, $written converted"
done
# Every file once more, each read with the one layout it fits.
for build in old new; do
    if [ $build = old ]; then convert=$old; else convert=$new; fi
    mkdir -p "$work/$build/auto"
    "$convert" --type auto --out "$work/$build/auto" "$variants"/*/* \
        2>"$work/$build/auto.failures" || true
done
echo "type auto: $(ls "$work/new/auto" | wc -l) converted"
if diff -r "$work/old" "$work/new"; then
    echo "The two builds give the same CHN files and the same failures."
else
    echo "The two builds differ." >&2
    exit 1
fi
