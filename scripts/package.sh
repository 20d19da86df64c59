#!/usr/bin/env bash
# Builds the Release exes of the mingw-i686 and mingw-x86_64 presets and packs
# them for download:
#   Marovendel-<version>-win32.zip   Marovendel.exe (32-bit), README.md, LICENSE,
#                                    docs/commands.md, docs/administrators.md
#   Marovendel-<version>-win64.zip   the same with the 64-bit exe
#   SHA256SUMS                       the zips' SHA-256 sums, as sha256sum writes them
# The user pages keep their docs/ folder in the zip, so that the README's
# links to them work once it is unpacked.
# The packages are reproducible: the same commit gives the same bytes in any
# folder. Every entry in a zip carries the same date (SOURCE_DATE_EPOCH, by
# default the commit's date) and permissions, in the order of its path.
#
# Usage: scripts/package.sh [--build-root DIR] [--out DIR]
#   --build-root DIR  build each preset in DIR/<preset> (default: build, the
#                     presets' own folders)
#   --out DIR         where the packages go (default: dist)
# Installs what is missing first. Prints the paths of the packages.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

build_root=$root/build
out=$root/dist
while [ $# -gt 0 ]; do
    case "$1" in
        --build-root) build_root=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: scripts/package.sh [--build-root DIR] [--out DIR]" >&2; exit 1 ;;
    esac
done

"$here/install-deps.sh"

# The product version as the version record shows it: major.minor.
version=$(sed -nE 's/^project\(Marovendel VERSION ([0-9]+)\.([0-9]+).*/\1.\2/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

mkdir -p "$out"
out=$(cd "$out" && pwd)
for pair in mingw-i686:win32 mingw-x86_64:win64; do
    preset=${pair%%:*}
    suffix=${pair##*:}
    dir=$build_root/$preset
    (cd "$root" && cmake --preset "$preset" -B "$dir" >/dev/null)
    cmake --build "$dir" --target Marovendel >/dev/null
    python3 - "$out/Marovendel-$version-$suffix.zip" "$SOURCE_DATE_EPOCH" \
        "Marovendel.exe=$dir/Marovendel.exe" "README.md=$root/README.md" "LICENSE=$root/LICENSE" \
        "docs/commands.md=$root/docs/commands.md" \
        "docs/administrators.md=$root/docs/administrators.md" <<'EOF'
import os, sys, time, zipfile
target, epoch = sys.argv[1], int(sys.argv[2])
files = dict(pair.split("=", 1) for pair in sys.argv[3:])   # path in the zip -> file
folders = {name[:i + 1] for name in files for i, c in enumerate(name) if c == "/"}
# DOS dates start in 1980 and carry no time zone: use UTC, clamped.
stamp = time.gmtime(max(epoch, 315532800))[:6]
partial = target + ".part"
with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for name in sorted(files.keys() | folders):
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.create_system = 3                # Unix, so the mode below is read
        if name in folders:
            entry.external_attr = 0o40755 << 16 | 0x10   # a folder, rwxr-xr-x, and DOS's folder bit
            archive.writestr(entry, b"")
            continue
        entry.external_attr = 0o100644 << 16   # a plain file, rw-r--r--
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(files[name], "rb") as source:
            archive.writestr(entry, source.read(), compresslevel=9)
os.replace(partial, target)
EOF
    echo "$out/Marovendel-$version-$suffix.zip"
done

(cd "$out" && sha256sum "Marovendel-$version-win32.zip" "Marovendel-$version-win64.zip" >SHA256SUMS)
echo "$out/SHA256SUMS"
