#!/usr/bin/env bash
# Checks a Release Marovendel.exe as it would ship: no debug sections, no
# COFF symbol table, and no larger than the size budget.
# Usage: check_exe.sh OBJDUMP EXE
set -euo pipefail
objdump=$1 exe=$2
# The budget of the larger, 32-bit exe: the figures and where the bytes go
# are in BENCHMARKS.md ("Size of the Release exe").
max_bytes=600000
failed=0

debug_sections=$("$objdump" -h "$exe" | awk '$2 ~ /^\.(z)?debug/ {print $2}' | tr '\n' ' ')
if [ -n "$debug_sections" ]; then
    echo "FAIL debug sections: $debug_sections"
    failed=1
else
    echo "ok   no debug sections"
fi

# The COFF file header follows the 4-byte PE signature; its NumberOfSymbols is
# at offset 12.
pe=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
symbols=$(od -An -t u4 -j $((pe + 4 + 12)) -N 4 "$exe" | tr -d ' ')
if [ "$symbols" != 0 ]; then
    echo "FAIL symbol table of $symbols symbols"
    failed=1
else
    echo "ok   no symbol table"
fi

size=$(stat -c %s "$exe")
if [ "$size" -gt "$max_bytes" ]; then
    echo "FAIL $size bytes, more than $max_bytes"
    failed=1
else
    echo "ok   $size bytes, at most $max_bytes"
fi
exit "$failed"
