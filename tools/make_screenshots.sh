#!/bin/sh
# Makes the README's screenshots again (docs/fileconv.png, docs/listing.png): builds the
# program, then photographs the window under a virtual X server (Xvfb) in the examples folder.
# Installs what is missing with apt-get, like `make run`.
set -e
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}

make --no-print-directory PACKAGES="xvfb xauth" deps
make --no-print-directory build
cmake --build "$BUILD" --target brandel-screenshots

xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb "$BUILD/tools/brandel-screenshots" examples docs
