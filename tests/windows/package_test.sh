#!/bin/sh
# Unpacks the Windows zip into a scratch folder, checks what it holds, and converts the examples
# it carries with its brandel-convert.exe on a fresh Wine prefix: the CHN files must be the Linux
# build's, byte for byte. A source named in Japanese converts too.
#   package_test.sh ZIP LINUX_CONVERT SCRATCH_DIR MAKE_EXAMPLES
set -eu
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac }
zip=$(absolute "$1")
linux=$(absolute "$2")
scratch=$(absolute "$3")
make_examples=$(absolute "$4")
here=$(cd "$(dirname "$0")/../.." && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/unpacked"
zip=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
(cd "$scratch/unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
top=$(find "$scratch/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
[ -n "$top" ] || fail "the zip holds no folder"
for f in brandel-convert.exe README.md examples/S0123.TXT; do
    [ -f "$top/$f" ] || fail "the zip lacks $f"
done

# The converter needs no DLL that a Windows lacks: every DLL it imports is a system one or
# travels beside it in the zip.
objdump=$(command -v x86_64-w64-mingw32-objdump || true)
if [ -n "$objdump" ]; then
    for dll in $("$objdump" -p "$top/brandel-convert.exe" | sed -n 's/.*DLL Name: //p'); do
        case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll | msvcrt.dll | user32.dll | shell32.dll | advapi32.dll | bcrypt.dll | \
            ucrtbase.dll | api-ms-win-*) ;;
        *) [ -f "$top/$dll" ] || fail "$dll is imported but not in the zip" ;;
        esac
    done
fi

prefix=$scratch/wineprefix
"$here/tests/windows/compare_examples.sh" "$linux" "$top/brandel-convert.exe" "$prefix" \
    "$make_examples"

# A file named in Japanese, given on the command line of a UTF-8 session.
name=$(printf '\345\234\237\345\243\214')
mkdir -p "$scratch/japanese/out"
cp "$top/examples/S0123.TXT" "$scratch/japanese/$name.TXT"
(cd "$scratch/japanese" && LANG=C.UTF-8 LC_ALL=C.UTF-8 "$here/cmake/wine-run.sh" "$prefix" \
    "$top/brandel-convert.exe" --type canberra-txt --out out "$name.TXT") ||
    fail "the Japanese-named source did not convert"
"$linux" --type canberra-txt --out "$scratch/japanese" "$top/examples/S0123.TXT"
cmp "$scratch/japanese/out/$name.chn" "$scratch/japanese/S0123.chn" ||
    fail "the Japanese-named source gave other bytes"
echo "the zip unpacks and converts on a fresh Wine prefix"
