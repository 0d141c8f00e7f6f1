#!/usr/bin/env bash
# The whole test suite: builds what changed, then runs the Windows tests under Wine on a virtual
# display and the host tests natively, all from one ctest. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/wine-ctest.sh" "$root/build/mingw" "$@"
