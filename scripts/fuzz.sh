#!/usr/bin/env bash
# Runs the fuzzers for longer than the test suite does.
#   scripts/fuzz.sh [seconds-per-fuzzer]     (default 1800)
# New inputs collect in build/fuzz/tests/fuzz/<fuzzer>-corpus; a failing
# input is written there as crash-*, to replay with: <fuzzer> crash-<id>
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-1800}
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build build/fuzz
cd build/fuzz/tests/fuzz
for fuzzer in command_line_fuzzer export_roundtrip_fuzzer shell_link_fuzzer; do
    echo "== $fuzzer, $seconds s"
    mkdir -p "$fuzzer-corpus"
    "./$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        "$fuzzer-corpus" "../../../../tests/fuzz/corpus/$fuzzer"
done
