#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, booting the prefix on
# first use. The loader is the one that matches the program (32-bit Wine for
# i686, 64-bit Wine for x86_64); both run in one 64-bit prefix, the 32-bit
# program under WOW64: WINEPREFIX defaults to the project's .wine/win64.
#
# The prefix's wineserver stays up for a few seconds after the last program,
# so that programs run one after another share it, and then ends by itself.
# "wine-run.sh --end" ends it at once (the servers of both prefixes, or of
# WINEPREFIX), for a test run that must leave nothing running.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lib/machine.sh"
if [ "${1:-}" = --end ]; then
    if [ -n "${WINEPREFIX:-}" ]; then
        prefixes=("$WINEPREFIX")
    else
        prefixes=("$here/../.wine/win64")
    fi
    for prefix in "${prefixes[@]}"; do
        [ -d "$prefix" ] || continue
        WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
    done
    exit 0
fi
use_wine_for "$1"
export WINEPREFIX=${WINEPREFIX:-$here/../.wine/$WINEARCH}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"

# The first wine call starts wineserver and services that inherit its standard
# handles; start them on /dev/null so a caller capturing our output never
# waits for them.
wineserver -p5 </dev/null >/dev/null 2>&1 || true
# Wine programs run without address randomization (setarch -R): with no
# preloader in Debian's Wine, a randomized heap now and then covers the page
# every Windows process maps at 0x7ffe0000, and the program exits with status
# 1 before it starts.
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.booted" ]; then
    setarch -R "$WINE64_LOADER" wineboot -i </dev/null >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.booted"
fi
exec setarch -R "$WINELOADER" "$@"
