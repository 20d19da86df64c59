#!/usr/bin/env bash
# Checks that a release build is reproducible: packs the release with the
# project's own build folders (build/<preset>), then copies the sources to a
# temporary folder, builds and packs them there from scratch, and compares the
# two exes, the two zips and SHA256SUMS byte for byte. Anything that puts a
# time, a path or any other trace of one particular build into them shows up
# here. Then checks that each zip holds the files a user needs, the pages the
# README links to under docs/ included, and nothing else.
#
# Prints one line per compared file, a summary line and one line per zip;
# exits 0 only when every file is the same in both builds and each zip holds
# what it should.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Both builds must stamp the zips with the same date, also when the sources
# hold changes not yet committed.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

"$root/scripts/package.sh" --out "$work/first" >/dev/null

# The second build: the working tree's files (as the first build saw them) at
# another path, with build folders of their own.
copy=$work/copy
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
    while IFS= read -r -d '' file; do
        if [ -f "$root/$file" ]; then
            mkdir -p "$copy/$(dirname "$file")"
            cp -p "$root/$file" "$copy/$file"
        fi
    done
"$copy/scripts/package.sh" --out "$work/second" >/dev/null

compared=0
different=0
compare() {  # label first second
    local one two
    compared=$((compared + 1))
    if [ ! -f "$2" ] || [ ! -f "$3" ]; then
        echo "MISSING    $1"
        different=$((different + 1))
        return
    fi
    one=$(sha256sum <"$2" | cut -d' ' -f1)
    two=$(sha256sum <"$3" | cut -d' ' -f1)
    if [ "$one" = "$two" ] && cmp -s "$2" "$3"; then
        echo "same       $one  $1"
    else
        echo "DIFFERENT  $one  $two  $1"
        different=$((different + 1))
    fi
}

for preset in mingw-i686 mingw-x86_64; do
    compare "$preset/Marovendel.exe" \
        "$root/build/$preset/Marovendel.exe" "$copy/build/$preset/Marovendel.exe"
done
for file in "$work/first"/*.zip "$work/first/SHA256SUMS"; do
    name=$(basename "$file")
    compare "$name" "$file" "$work/second/$name"
done

if [ "$different" -eq 0 ]; then
    echo "reproducible: all $compared files are the same in both builds"
else
    echo "NOT reproducible: $different of $compared files differ between the builds"
    exit 1
fi

expected="LICENSE Marovendel.exe README.md docs/ docs/administrators.md docs/commands.md"
wrong=0
for file in "$work/first"/*.zip; do
    entries=$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$file")
    if [ "$entries" = "$expected" ]; then
        echo "holds      $(basename "$file"): $entries"
    else
        echo "WRONG      $(basename "$file") holds $entries, not $expected"
        wrong=1
    fi
done
exit "$wrong"
