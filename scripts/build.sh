#!/usr/bin/env bash
# Configures (once) and builds the Windows cross build in build/mingw; the host part comes with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
if [ ! -f build/mingw/build.ninja ]; then
    cmake --preset mingw >/dev/null
fi
cmake --build --preset mingw
