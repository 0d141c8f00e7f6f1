#!/usr/bin/env bash
# Builds Brindlecrest.exe and starts it under Wine: on the current display when there is one;
# otherwise on a virtual display, where it takes a screenshot, says where, and ends the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/mingw"
"$root/scripts/build.sh"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$root/scripts/wine-session.sh" start "$build"
    trap '"$root/scripts/wine-session.sh" stop "$build"' EXIT
    "$build/wine-run" "$build/bin/Brindlecrest.exe" "$@"
    exit $?
fi

export BUILD="$build" ROOT="$root"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    "$ROOT/scripts/wine-session.sh" start "$BUILD"
    trap "\"$ROOT/scripts/wine-session.sh\" stop \"$BUILD\"" EXIT
    "$BUILD/wine-run" "$BUILD/bin/Brindlecrest.exe" &
    app=$!
    if ! "$BUILD/wine-run" "$BUILD/bin/wincontrol.exe" wait Brindlecrest.exe 60000; then
        kill $app 2>/dev/null; exit 1
    fi
    sleep 1   # let the window finish painting
    import -window root "$BUILD/screenshot.png"
    echo "run: screenshot saved to $BUILD/screenshot.png"
    "$BUILD/wine-run" "$BUILD/bin/wincontrol.exe" close Brindlecrest.exe 30000
    wait $app
'
