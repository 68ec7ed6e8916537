#!/bin/sh
# Installs the build into a scratch folder as a package would (prefix /usr) and checks what was
# installed: both programs run, the desktop entry and the AppStream metainfo validate, the icon
# is where the entry names it, the manual pages (compressed) format without warnings, and the
# README, the copyright and the changelog are in the documentation folder.
#   install_test.sh BUILD_DIR
# Exits 77 (skipped) when the validators are not installed.
set -eu
build=$1
for tool in desktop-file-validate appstreamcli man; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (desktop-file-utils, appstream, man-db)"
        exit 77
    fi
done

root=$(mktemp -d "${TMPDIR:-/tmp}/brandel-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
id=net.brandelkorvin.Brandel
for f in usr/bin/brandel usr/bin/brandel-convert usr/share/applications/$id.desktop \
    usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/metainfo/$id.metainfo.xml \
    usr/share/man/man1/brandel-convert.1.gz usr/share/man/man1/brandel.1.gz \
    usr/share/doc/brandel/README.md usr/share/doc/brandel/copyright \
    usr/share/doc/brandel/changelog.gz usr/share/doc/brandel/examples/brandel-convert-watch.service; do
    [ -f "$root/$f" ] || fail "$f was not installed"
done
[ -x "$root/usr/bin/brandel" ] && [ -x "$root/usr/bin/brandel-convert" ] ||
    fail "the programs are not executable"

desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" || fail "icon name"
grep -qx "Exec=brandel" "$root/usr/share/applications/$id.desktop" || fail "Exec line"
grep -q "<svg" "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "icon is not SVG"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "metainfo"
grep -q "@PROJECT_VERSION@" "$root/usr/share/metainfo/$id.metainfo.xml" &&
    fail "metainfo version was not filled in"

# The pages format cleanly, the converter's says what its options are, and the window
# program's what it does.
manual() {
    MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$1.1.gz" 2>"$root/man.err"
    [ -s "$root/man.err" ] && { cat "$root/man.err" >&2; fail "manual page warnings in $1.1"; }
    return 0
}
page=$(manual brandel-convert)
for option in --type --out --info --list --csv --help --version "EXIT STATUS"; do
    echo "$page" | grep -q -- "$option" || fail "manual page lacks $option"
done
echo "$page" | grep -q "@PROJECT_VERSION@" && fail "manual page version was not filled in"
page=$(manual brandel)
for part in FILEconv CHN_edit "brandel-convert(1)"; do
    echo "$page" | grep -q -- "$part" || fail "the window's manual page lacks $part"
done
echo "$page" | grep -q "@PROJECT_VERSION@" && fail "manual page version was not filled in"
# The changelog's newest entry is this version.
gzip -dc "$root/usr/share/doc/brandel/changelog.gz" | head -n 1 |
    grep -q "^brandel ($(cd "$build" && sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' CMakeCache.txt)) " ||
    fail "the changelog does not start with this version"

# The installed programs run on their own: the converter answers, and the window opens and
# keeps running until it is stopped.
"$root/usr/bin/brandel-convert" --version >/dev/null || fail "installed brandel-convert"
rc=0
(cd "$root" && QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/brandel" >/dev/null 2>&1) || rc=$?
[ "$rc" -eq 124 ] || fail "the installed window program ended at once (exit status $rc)"
echo "installed files check out"
