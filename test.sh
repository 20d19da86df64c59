#!/usr/bin/env bash
# Runs every test: the unit tests natively (plain and with AddressSanitizer and
# UndefinedBehaviorSanitizer), the Windows build's unit, resource and
# end-to-end tests under Wine, and the unit tests under clang with each fuzzer
# for a bounded time. Installs what is missing first. Exits nonzero when any
# test fails.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh || exit 1

passed=0
failed=0
run_suite() {  # preset
    local preset=$1 log
    log=$(mktemp)
    echo "== $preset"
    if ! cmake --preset "$preset" >"$log" 2>&1 || ! cmake --build "build/$preset" >>"$log" 2>&1; then
        cat "$log"
        echo "$preset: build failed"
        failed=$((failed + 1))
        rm -f "$log"
        return
    fi
    ctest --test-dir "build/$preset" --output-on-failure 2>&1 | tee "$log"
    local summary
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
    else
        local total bad
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
}

run_suite host
run_suite host-asan
run_suite mingw-i686
if command -v clang++ >/dev/null; then
    run_suite fuzz  # the unit tests under clang, and each fuzzer for a minute
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
