# What this machine can execute, and which Wine runs which program. Sourced by
# the project's scripts; every Wine call goes through the loader chosen here.
#   runs_32bit_x86          true when 32-bit x86 programs start here
#   pe_machine FILE         i686 or x86_64 (the PE header's machine type)
#   wine_loader_for FILE    the Wine loader that runs FILE
#   use_wine_for FILE       exports WINELOADER (and WINEARCH) for FILE
#
# Both builds run in a 64-bit prefix, the 32-bit one under WOW64 as on the
# 64-bit Windows nearly every user has: there HKLM\Software is redirected to
# Wow6432Node, %ProgramFiles% means Program Files (x86) and System32 is
# SysWOW64, and Marovendel must look past all of it. A 64-bit prefix is booted,
# and reg.exe run, by 64-bit Wine ($WINE64_LOADER).

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}

# Asks the kernel by starting a 32-bit program: some kernels run with 32-bit
# emulation switched off, and then even an installed wine32 fails with
# "Exec format error". The answer is kept for the rest of the script.
runs_32bit_x86() {
    if [ -z "${MAROVENDEL_RUNS_32BIT:-}" ]; then
        if "$WINE32_LOADER" --version >/dev/null 2>&1; then
            MAROVENDEL_RUNS_32BIT=yes
        else
            MAROVENDEL_RUNS_32BIT=no
        fi
        export MAROVENDEL_RUNS_32BIT
    fi
    [ "$MAROVENDEL_RUNS_32BIT" = yes ]
}

# Why runs_32bit_x86 said no, in one line.
why_no_32bit() {
    local message
    if [ ! -e "$WINE32_LOADER" ]; then
        echo "$WINE32_LOADER is not installed"
        return
    fi
    message=$("$WINE32_LOADER" --version 2>&1 >/dev/null | head -n 1)
    echo "${message:-$WINE32_LOADER --version failed}"
}

pe_machine() {
    local offset machine
    offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$offset" ] || { echo unknown; return 1; }
    machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')
    case "$machine" in
        014c) echo i686 ;;
        8664) echo x86_64 ;;
        *) echo unknown; return 1 ;;
    esac
}

wine_loader_for() {
    case "$(pe_machine "$1")" in
        i686) echo "$WINE32_LOADER" ;;
        x86_64) echo "$WINE64_LOADER" ;;
        *) echo "unknown" ; return 1 ;;
    esac
}

use_wine_for() {
    local machine
    machine=$(pe_machine "$1") || { echo "not a Windows x86 program: $1" >&2; return 1; }
    if [ "$machine" = i686 ]; then
        export WINELOADER=$WINE32_LOADER WINEARCH=win64
    else
        export WINELOADER=$WINE64_LOADER WINEARCH=win64
    fi
}
