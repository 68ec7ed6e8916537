#!/bin/sh
# Converts the example files, and a generated file of every layout, with the Linux build and
# with the Windows build under Wine, and compares the CHN files byte for byte. Every file is
# offered to every type, each type writing into its own folder, so both builds must also agree
# on which files each type refuses.
#   compare_examples.sh LINUX_CONVERT WINDOWS_CONVERT_EXE WINEPREFIX MAKE_EXAMPLES
set -eu
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac }
linux=$(absolute "$1")
windows=$(absolute "$2")
prefix=$(absolute "$3")
make_examples=$(absolute "$4")
here=$(cd "$(dirname "$0")/../.." && pwd)
wine_run=$here/cmake/wine-run.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/brandel-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources"
for f in "$here"/examples/*; do
    [ "$(basename "$f")" = README.md ] || cp "$f" "$work/sources/"
done
"$make_examples" "$work/generated" >/dev/null
for f in "$work"/generated/*; do
    cp "$f" "$work/sources/gen_$(basename "$f")"
done

sources=$(ls "$work/sources")
for type in canberra-txt labo-new kaihouken-dat kaihouken-csv labo-old labo-list kaihouken-txt oxford-asc; do
    mkdir -p "$work/linux/$type" "$work/windows/$type"
    # Files of other layouts fail, so exit status 1 is expected; status 2 (usage) is not.
    cd "$work/sources"
    rc=0
    # shellcheck disable=SC2086
    "$linux" --type "$type" --out "$work/linux/$type" $sources >/dev/null 2>&1 || rc=$?
    [ "$rc" -le 1 ] || { echo "FAIL: Linux build exited $rc for $type" >&2; exit 1; }
    rc=0
    # The Windows build is given its folder with a drive letter, as a Windows user would.
    # shellcheck disable=SC2086
    "$wine_run" "$prefix" "$windows" --type "$type" --out "Z:$work/windows/$type" $sources \
        >/dev/null 2>"$work/windows-$type.err" || rc=$?
    [ "$rc" -le 1 ] || {
        cat "$work/windows-$type.err" >&2
        echo "FAIL: Windows build exited $rc for $type" >&2
        exit 1
    }
done

if ! diff -r "$work/linux" "$work/windows" >&2; then
    echo "FAIL: the Windows build wrote other CHN files than the Linux build" >&2
    exit 1
fi
count=$(find "$work/linux" -name '*.chn' | wc -l)
for f in $sources; do
    base=${f%%.*}
    [ -n "$(find "$work/linux" -name "$base.chn")" ] || {
        echo "FAIL: $f converted under no type" >&2
        exit 1
    }
done
echo "$count CHN files from $(echo "$sources" | wc -w) sources: identical bytes on Linux and Windows"
