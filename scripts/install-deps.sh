#!/usr/bin/env bash
# Installs what building and testing Marovendel needs on a Debian machine:
# the MinGW-w64 i686 cross compiler, 32-bit Wine, CMake, Ninja, GoogleTest
# sources and clang with libFuzzer. Skips the work when everything is there.
set -euo pipefail

have_all() {
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
    command -v i686-w64-mingw32-windres >/dev/null &&
    command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    command -v wine >/dev/null &&
    command -v cmake >/dev/null && command -v ninja >/dev/null &&
    command -v clang++ >/dev/null &&
    [ -f /usr/src/googletest/CMakeLists.txt ] &&
    dpkg -s wine32:i386 >/dev/null 2>&1 &&
    dpkg -s libclang-rt-14-dev >/dev/null 2>&1
}

if have_all; then
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
    wine wine32:i386
