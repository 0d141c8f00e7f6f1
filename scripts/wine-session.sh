#!/usr/bin/env bash
# Prepares and runs the Wine side of a cross build:
#   wine-session.sh start BUILD-DIR   create the build's prefix once (Windows 10), start a persistent
#                                     wineserver and warm Wine's services
#   wine-session.sh stop BUILD-DIR    stop that wineserver
# Every Wine process started here is cut off from our output pipes: a Wine service holding a pipe
# of ctest would make ctest wait for it until its time-out.
set -euo pipefail

action=${1:?start or stop}
build=$(cd "${2:?build folder}" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# winedbg off: a crashing test ends at once instead of waiting in the debugger until its time-out.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

case "$action" in
start)
    if [ ! -f "$WINEPREFIX/.brindlecrest-ready" ]; then
        echo "wine-session: creating the Wine prefix $WINEPREFIX (once per build folder)"
        rm -rf "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w </dev/null >/dev/null 2>&1 || true
        winecfg -v win10 </dev/null >/dev/null 2>&1
        wineserver -w </dev/null >/dev/null 2>&1 || true
        touch "$WINEPREFIX/.brindlecrest-ready"
    fi
    # Persistent server: each test process then starts in a fraction of a second.
    (setsid wineserver -p </dev/null >/dev/null 2>&1 &)
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop BUILD-DIR" >&2
    exit 2
    ;;
esac
