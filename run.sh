#!/usr/bin/env bash
# Builds Marovendel.exe if needed and runs it under Wine in the project's own
# 64-bit prefix (.wine/win64), under WOW64 as on 64-bit Windows, passing the
# arguments through. With no arguments it prints the usage. Exits with
# Marovendel's own status.
#
# On a machine that cannot start 32-bit programs it builds and runs the 64-bit
# build of the same sources instead, and says so on standard error.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh
. scripts/lib/machine.sh

preset=mingw-i686
if ! runs_32bit_x86; then
    preset=mingw-x86_64
    echo "run.sh: this machine cannot run 32-bit programs ($(why_no_32bit)); running the 64-bit build." >&2
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if { [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >"$log" 2>&1; } &&
   cmake --build "build/$preset" --target Marovendel >>"$log" 2>&1; then
    rm -f "$log"
else
    cat "$log" >&2
    echo "run.sh: the $preset build failed" >&2
    exit 1
fi
# Started from a terminal, Wine gives the program a console of its own, and
# Marovendel would take it for a window opened from Explorer and wait for a
# key before closing it. It reads nothing else, so give it no input.
scripts/wine-run.sh "build/$preset/Marovendel.exe" "$@" </dev/null
