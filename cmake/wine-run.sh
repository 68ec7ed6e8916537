#!/bin/sh
# Runs a Windows program under Wine without a display:
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# PREFIX is the Wine prefix (a folder of its own, made on first use). Wine's own messages are
# silenced, the .NET and HTML installers are never offered, and the program is stopped after
# BRANDEL_WINE_TIMEOUT seconds (default 600) so that a hung Wine cannot stall a build.
set -u
prefix=$1
shift

wine=""
for candidate in "${BRANDEL_WINE:-}" /usr/lib/wine/wine64 wine64 wine; do
    [ -n "$candidate" ] && command -v "$candidate" >/dev/null 2>&1 && { wine=$candidate; break; }
done
if [ -z "$wine" ]; then
    echo "wine-run.sh: Wine is not installed (Debian package wine64)" >&2
    exit 127
fi
wineserver=""
for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver wineserver64 wineserver; do
    command -v "$candidate" >/dev/null 2>&1 && { wineserver=$candidate; break; }
done

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
timeout=${BRANDEL_WINE_TIMEOUT:-600}

# The prefix is made once, under a lock, so that tests started together do not race.
mkdir -p "$prefix"
if [ ! -f "$prefix/.brandel-ready" ]; then
    (
        flock 9
        if [ ! -f "$prefix/.brandel-ready" ]; then
            timeout 300 "$wine" wineboot -i >/dev/null 2>&1
            [ -n "$wineserver" ] && timeout 60 "$wineserver" -w
            if [ -f "$prefix/system.reg" ]; then
                touch "$prefix/.brandel-ready"
            else
                echo "wine-run.sh: could not make the Wine prefix $prefix" >&2
                exit 1
            fi
        fi
    ) 9>"$prefix.lock" || exit 1
fi

# Wine writes its fixme and loader notes to standard error before the program starts; only the
# program's own lines are wanted, but they share the stream, so the prefix update notes are
# filtered out and everything else is kept.
exec timeout -k 10 "$timeout" "$wine" "$@"
