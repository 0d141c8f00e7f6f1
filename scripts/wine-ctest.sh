#!/usr/bin/env bash
# Runs ctest in a cross build folder with a warm Wine session around it. Call it under a display
# (xvfb-run). Extra arguments go to ctest.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
shift

"$root/scripts/wine-session.sh" start "$build" || exit 1
trap '"$root/scripts/wine-session.sh" stop "$build"' EXIT INT TERM
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
