#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, booting the prefix on
# first use. The loader is the one that matches the program (32-bit Wine for
# i686, 64-bit Wine for x86_64), and each architecture has its own prefix:
# WINEPREFIX defaults to the project's .wine/win32 or .wine/win64.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lib/machine.sh"
use_wine_for "$1"
export WINEPREFIX=${WINEPREFIX:-$here/../.wine/$WINEARCH}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"

# The first wine call starts wineserver and services that inherit its standard
# handles; start them on /dev/null so a caller capturing our output never
# waits for them.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.booted" ]; then
    "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.booted"
fi
exec "$WINELOADER" "$@"
