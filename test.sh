#!/usr/bin/env bash
# Runs every test: the unit tests natively (plain and with AddressSanitizer and
# UndefinedBehaviorSanitizer); both Windows builds, with the 32-bit product
# checked as a file and each build's unit, resource and end-to-end tests run
# under the Wine of its architecture where this machine can; the real-Windows
# checks under Wine, with the Windows workflow linted and its build commands
# compared with the development docs; the unit tests under clang with each
# fuzzer for a bounded time; and a second build that must match the first byte
# for byte. Installs what is missing first. Ends with "N passed, N failed" and
# exits nonzero when any test failed.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh || exit 1
. scripts/lib/machine.sh

passed=0
failed=0
skipped=0

build() {  # preset; false (with the log shown) when it does not build
    local preset=$1 log
    log=$(mktemp)
    echo "== $preset"
    if ! cmake --preset "$preset" >"$log" 2>&1 || ! cmake --build "build/$preset" >>"$log" 2>&1; then
        cat "$log"
        echo "$preset: build failed"
        failed=$((failed + 1))
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

run_ctest() {  # preset; adds its tests to the counts
    local preset=$1 log summary total bad
    log=$(mktemp)
    ctest --test-dir "build/$preset" --output-on-failure 2>&1 | tee "$log"
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
    else
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
}

run_windows_checks() {  # preset; adds each real-Windows check to the counts
    local preset=$1 log summary build ok bad skip helpers=()
    for build in mingw-i686 mingw-x86_64; do
        if [ -f "build/$build/tests/windows/stand_in_browser.exe" ]; then
            helpers+=(--helpers "build/$build/tests/windows")
        fi
    done
    echo "== real-Windows checks of build/$preset/Marovendel.exe, under Wine"
    log=$(mktemp)
    python3 tests/windows/run.py --exe "build/$preset/Marovendel.exe" "${helpers[@]}" 2>&1 | tee "$log"
    summary=$(grep -E '^Real-Windows checks: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$log" |
              tail -1)
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
    else
        read -r ok bad skip < <(grep -oE '[0-9]+' <<<"$summary" | tr '\n' ' ')
        passed=$((passed + ok))
        failed=$((failed + bad))
        skipped=$((skipped + skip))
    fi
    rm -f "$log"
}

check() {  # name command...; one test
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "$name: FAILED"
        failed=$((failed + 1))
    fi
}

build host && run_ctest host
build host-asan && run_ctest host-asan

# Both Windows builds, on every machine.
have_i686=false
have_x86_64=false
build mingw-i686 && have_i686=true
build mingw-x86_64 && have_x86_64=true

# The 32-bit product as a file: a PE32 console program importing only system
# DLLs (none it loads on first use), and its manifest, icon and version record
# read through the Windows API by the resource checker of whichever build runs
# here.
if $have_i686; then
    echo "== mingw-i686 Marovendel.exe as a file"
    check "PE header and imports" python3 tests/release/check_pe.py build/mingw-i686/Marovendel.exe i686
    check "stripped and small" tests/release/check_exe.sh i686-w64-mingw32-objdump \
        build/mingw-i686/Marovendel.exe
    if runs_32bit_x86; then
        checker=build/mingw-i686/tests/resources/check_resources.exe
    else
        checker=build/mingw-x86_64/tests/resources/check_resources.exe
    fi
    if [ -f "$checker" ]; then
        check "resources read as data" scripts/wine-run.sh "$checker" "$PWD/build/mingw-i686/Marovendel.exe"
    else
        echo "resources read as data: no checker was built"
        failed=$((failed + 1))
    fi
fi

# The Windows suites, for each architecture this machine executes.
if $have_i686; then
    if runs_32bit_x86; then
        run_ctest mingw-i686
    else
        count=$(ctest --test-dir build/mingw-i686 -N 2>/dev/null | sed -nE 's/^Total Tests: ([0-9]+)/\1/p')
        skipped=$((skipped + ${count:-1}))
        echo "mingw-i686: ${count:-its} Windows tests skipped: this machine cannot run 32-bit x86 programs ($(why_no_32bit))"
    fi
fi
$have_x86_64 && run_ctest mingw-x86_64

# What only real Windows can answer: the workflow that asks it there, and the
# same checks here, the 32-bit exe under WOW64 where this machine runs 32-bit
# programs.
echo "== Windows workflow"
check "workflow lint" node tests/windows/lint_workflow.js .github/workflows/windows.yml
check "Windows build commands as documented" python3 tests/windows/build_commands.py
if $have_i686 && runs_32bit_x86; then
    run_windows_checks mingw-i686
elif $have_x86_64; then
    run_windows_checks mingw-x86_64
fi

if command -v clang++ >/dev/null; then
    build fuzz && run_ctest fuzz  # the unit tests under clang, and each fuzzer for a minute
fi

# One more build of both Windows exes, elsewhere, that must match the first
# byte for byte, and so must the release zips made from each.
if $have_i686 && $have_x86_64; then
    echo "== release builds reproducible"
    check "reproducible release" tests/release/reproducible.sh
fi

# Every Wine program above leaves its prefix's wineserver up for a few
# seconds; end them now, so that nothing keeps running after the tests.
scripts/wine-run.sh --end

echo
if [ "$skipped" -gt 0 ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
else
    echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
