#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, booting the prefix on
# first use. WINEPREFIX defaults to the project's own prefix, .wine/default.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../.wine/default}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"

# The first wine call starts wineserver and services that inherit its standard
# handles; start them on /dev/null so a caller capturing our output never
# waits for them.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.booted" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.booted"
fi
exec wine "$@"
