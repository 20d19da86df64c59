#!/usr/bin/env bash
# Builds Marovendel.exe if needed and runs it under Wine in the project's own
# prefix (.wine/default), passing the arguments through. With no arguments it
# prints the usage. Exits with Marovendel's own status.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh
if [ ! -f build/mingw-i686/build.ninja ]; then
    cmake --preset mingw-i686 >/dev/null
fi
cmake --build build/mingw-i686 --target Marovendel >/dev/null
exec scripts/wine-run.sh build/mingw-i686/Marovendel.exe "$@"
