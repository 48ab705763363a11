#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the unit, end-to-end, scenario, validator and
# soak tests; a smoke run of the benchmarks; the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, with Corvane, AlarmPanel and the sequence-fault components fuzzed
# through nelk_add_fuzz_test; valgrind memcheck; the 32-bit build; the framework's fuzzers for a
# bounded time. Every stage runs; the script fails if any did.
#   NELK_FUZZ_SECONDS  seconds per fuzzer and per fuzzed component (default 30)
#   NELK_STAGES        only these stages, by function name (e.g. "main_build windows_x86")
#   NELK_WIN32_SKIP    1: skip the 32-bit Windows stage, loudly (it fails where it cannot run)
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
nelk_require_packages "${NELK_BUILD_PACKAGES[@]}" valgrind clang libclang-rt-14-dev g++-multilib libc6-i386 \
    libbenchmark-dev mingw-w64 wine64 lld-14 llvm-14 python3 gdb gcovr chromium chromium-driver python3-selenium \
    dpkg-dev file python3-yaml || exit 1

jobs=2
fuzz_seconds=${NELK_FUZZ_SECONDS:-30}
failed=()
skipped=()
skip_status=77  # a stage that returns this was skipped on purpose, and said why

# stage NAME COMMAND...: runs one stage and remembers whether it failed.
stage() {
    local name=$1
    shift
    if [ -n "${NELK_STAGES:-}" ] && [[ " $NELK_STAGES " != *" $1 "* ]]; then
        return 0
    fi
    echo
    echo "== $name"
    local started=$SECONDS status
    "$@"
    status=$?
    if [ $status -eq 0 ]; then
        echo "== $name: passed ($((SECONDS - started)) s)"
    elif [ $status -eq $skip_status ]; then
        echo "== $name: SKIPPED ($((SECONDS - started)) s)"
        skipped+=("$name")
    else
        echo "== $name: FAILED ($((SECONDS - started)) s)"
        failed+=("$name")
    fi
}

# test_count DIR [CTEST OPTIONS...]: how many tests ctest lists in DIR.
test_count() {
    local dir=$1
    shift
    ctest --test-dir "$dir" -N "$@" | sed -n 's/^Total Tests: \([0-9][0-9]*\)$/\1/p'
}

# require_tests DIR AT_LEAST WHAT [CTEST OPTIONS...]: fails, saying WHAT, unless DIR lists that many.
require_tests() {
    local dir=$1 least=$2 what=$3 count
    shift 3
    count=$(test_count "$dir" "$@")
    [ "${count:-0}" -ge "$least" ] && return 0
    echo "$what: $dir lists ${count:-no} such tests, at least $least expected"
    return 1
}

configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNELK_WARNINGS_AS_ERRORS=ON "$@" >/dev/null &&
        cmake --build "$dir" -j"$jobs"
}

main_build() {
    configure_and_build build -DNELK_BUILD_BENCHMARKS=ON || return 1
    # The browser test exists only where chromium and selenium were found: it must have been.
    require_tests build 1 "the browser test is missing" -L browser || return 1
    ctest --test-dir build -j"$jobs" --output-on-failure
}

# The benchmarks once, briefly: they build and run; timings are for docs/performance.md.
benchmark_smoke() {
    build/bin/nelk_bench --benchmark_min_time=0.002 | tail -n 32
}

# The programs of the tests a build lists with LABEL, each once, one a line.
labelled_programs() {
    ctest --test-dir "$1" -N -L "$2" --show-only=json-v1 |
        python3 -c 'import json, sys
seen = []
for test in json.load(sys.stdin)["tests"]:
    program = test.get("command", [""])[0]
    if program and program not in seen:
        seen.append(program)
print("\n".join(seen))'
}

# The test programs labelled memcheck (nelk_add_test MEMCHECK), the demo and the Corvane scenarios
# under memcheck. The test programs count allocations with their own operator new, which memcheck
# must leave in place.
memcheck() {
    local valgrind=(valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect,possible
                    --error-exitcode=1 --soname-synonyms=somalloc=nouserintercepts)
    local program programs status=0
    programs=$(labelled_programs build memcheck) || return 1
    [ -n "$programs" ] || { echo "build/ lists no test labelled memcheck"; return 1; }
    # ProcessGuardTest's children crash on purpose, one with a thread still running: memcheck
    # would list that thread's start-up blocks for each of them.
    for program in $programs; do
        echo "-- memcheck ${program##*/}"
        "${valgrind[@]}" "$program" --gtest_brief=1 --gtest_filter=-*ScaleTest*:Huge*:ProcessGuardTest* || status=1
    done
    echo "-- memcheck nelk-host demo"
    "${valgrind[@]}" build/bin/nelk-host --quiet || status=1
    echo "-- memcheck nelk-host scenarios"
    "${valgrind[@]}" build/bin/nelk-host --quiet --library build/bin/libCorvane.so run tests/scenarios/corvane/*.nelk || status=1
    return $status
}

# The clang build carries the components' fuzz tests (label fuzz), which must be there: each
# fuzzes for NELK_FUZZ_SECONDS, the sequence-fault ones until their finding.
sanitizers() {
    CC=clang CXX=clang++ configure_and_build build-sanitize -DNELK_SANITIZE=ON -DNELK_GTEST_FROM_SOURCE=ON || return 1
    require_tests build-sanitize 4 "the components' fuzz tests are missing" -L fuzz || return 1
    ASAN_OPTIONS=detect_leaks=1 NELK_FUZZ_SECONDS=$fuzz_seconds \
        ctest --test-dir build-sanitize -j"$jobs" --output-on-failure -LE "soak|browser"
}

# The tests a build lists, one name a line, sorted, but those labelled soak or native_only.
test_names() {
    ctest --test-dir "$1" -N -LE "soak|native_only" | sed -n 's/^ *Test *#[0-9]*: //p' | sort
}

# The whole suite built for 32-bit x86, the host's platform: the 148-byte parsedCommand and the
# 20-byte records are exercised, not only asserted. The programs run directly where the kernel
# runs 32-bit programs, under qemu-i386 where it cannot (cmake/linux-i686.cmake probes; the stage
# says which). Every test of the native build must be there and pass, but those labelled
# native_only: the install and guide tests (a native toolchain), memcheck, the JUnit reports (no
# 32-bit pugixml) and serve's (no 32-bit cpp-httplib).
thirty_two_bit() {
    configure_and_build build-i686 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/linux-i686.cmake" -DNELK_GTEST_FROM_SOURCE=ON \
        || return 1
    local runner
    runner=$(sed -n 's/^NELK_I386_RUNNER:[A-Z]*=//p' build-i686/CMakeCache.txt)
    if [ "$runner" = native ]; then
        echo "-- the kernel runs 32-bit programs: the suite runs natively"
    else
        echo "-- the kernel cannot run 32-bit programs: the suite runs under qemu-i386"
        command -v qemu-i386 >/dev/null || nelk_require_packages qemu-user || return 1
    fi
    local expected actual missing
    expected=$(test_names build) || return 1
    actual=$(test_names build-i686) || return 1
    missing=$(comm -23 <(echo "$expected") <(echo "$actual"))
    if [ -z "$expected" ] || [ -n "$missing" ]; then
        echo "the 32-bit build lacks tests of the native one:"
        echo "${missing:-(the native build in build/ lists none: run the main build first)}"
        return 1
    fi
    echo "-- $(echo "$actual" | wc -l) tests, the native build's $(echo "$expected" | wc -l) among them"
    ctest --test-dir build-i686 -j"$jobs" --output-on-failure -LE "soak|native_only"
}

# Without debug information: nothing here reads it, and it costs mingw two fifths of the build.
# The build machine's nelk-host (the main build's) also checks the DLLs and their packages.
windows_build() {
    configure_and_build "$1" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2.cmake" -DNELK_GTEST_FROM_SOURCE=ON \
        -DNELK_NATIVE_NELK_HOST="$PWD/build/bin/nelk-host" \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
}

# windows_demo RUNNER... : nelk-host.exe's demo, where both panels must show "Camera 1".
windows_demo() {
    local demo
    demo=$("$@" --no-colour 2>/dev/null) || { echo "$demo"; return 1; }
    echo "$demo" | grep -E 'umdText.text shows|demo finished'
    [ "$(echo "$demo" | grep -c 'umdText.text shows "Camera 1"')" -eq 2 ]
}

# Corvane.dll and the rest for 64-bit Windows with mingw-w64: the test suite, the demo and the
# scenarios under wine64, with a host and a component built in Visual C++ mode on the other side
# of the interfaces, and the images' export tables and vtable layouts checked.
windows_x64() {
    local wine=/usr/lib/wine/wine64
    export WINEPREFIX="$PWD/build-win64/wine-prefix" WINEDEBUG=-all
    windows_build build-win64 mingw-w64-x86_64 || return 1
    require_tests build-win64 10 "the Visual C++-mode tests are missing" -L visual_cpp || return 1
    # One prefix, made once, and one server kept up for the whole run: wine starting its server
    # for two programs at once has been seen to fail a start.
    local server=/usr/lib/wine/wineserver64 status=0
    [ -x "$server" ] || server=wineserver
    "$wine" wineboot --init >/dev/null 2>&1
    "$server" -p
    echo "-- nelk-host.exe demo under wine64"
    windows_demo "$wine" build-win64/bin/nelk-host.exe || status=1
    # A program that wine failed to start gets a second start; a failing test fails twice.
    ctest --test-dir build-win64 -j"$jobs" --output-on-failure -LE soak --repeat until-pass:2 || status=1
    "$server" -k
    return $status
}

# The same for 32-bit Windows, the host's own platform, under Debian's 32-bit wine, which
# tools/win32/run.sh fetches into a cache of its own (the toolchain file makes it the tests'
# emulator): the i686 suite, the demo, the scenarios, the validator, the tap, and both directions
# of the Visual C++ layout, with the broken layouts failing. The static checks run too.
windows_x86() {
    local run=tools/win32/run.sh
    if [ -n "${NELK_WIN32_SKIP:-}" ] && [ "$NELK_WIN32_SKIP" != 0 ]; then
        echo "-- NELK_WIN32_SKIP is set: SKIPPING every 32-bit Windows test; nothing for the host's platform ran"
        return $skip_status
    fi
    "$run" --probe || { echo "-- set NELK_WIN32_SKIP=1 to skip this stage on such a machine"; return 1; }
    windows_build build-win32 mingw-w64-i686 || return 1
    require_tests build-win32 11 "the Visual C++-mode tests are missing" -L visual_cpp || return 1
    "$run" --prepare || return 1
    local status=0
    echo "-- nelk-host.exe demo under 32-bit wine"
    windows_demo "$run" build-win32/bin/nelk-host.exe || status=1
    ctest --test-dir build-win32 -j"$jobs" --output-on-failure -LE soak --repeat until-pass:2 || status=1
    "$run" --stop
    return $status
}

# The kit's packages, made from the builds above (tools/package.sh), installed as an author
# installs them (the .tar.gz into a scratch prefix, the .deb with dpkg, removed again), and a
# fresh nelk-host new project built, tested, packed and validated against each for linux,
# windows-x86 and windows-x64, its ci/build.sh run and its workflow read.
packages() {
    [ -d build-win32 ] && [ -d build-win64 ] || { echo "the Windows stages' builds are missing: run them first"; return 1; }
    NELK_PACKAGE_BUILDS="build build-win32 build-win64" bash tools/package.sh || return 1
    WINEPREFIX="$PWD/build-win64/wine-prefix" WINEDEBUG=-all bash tests/package/kit_packages_test.sh dist build-package/kit-test tgz deb
}

# Each fuzzer (label fuzz) for a bounded time on a scratch copy of its committed seeds, two at a
# time. A crash, a leak or a broken invariant fails the stage and leaves the input in the log.
fuzzers() {
    CC=clang CXX=clang++ configure_and_build build-fuzz -DNELK_BUILD_FUZZERS=ON -DNELK_BUILD_TESTS=OFF \
        -DNELK_BUILD_TOOLS=OFF -DNELK_INSTALL=OFF || return 1
    require_tests build-fuzz 1 "the fuzzers are missing" -L fuzz || return 1
    NELK_FUZZ_SECONDS=$fuzz_seconds ctest --test-dir build-fuzz -L fuzz -j"$jobs" --output-on-failure -V |
        grep -E "^[0-9]+: -- fuzz|FINDING|Passed|Failed|tests passed"
    return "${PIPESTATUS[0]}"
}

stage "build and test (g++)" main_build
stage "benchmarks (smoke run)" benchmark_smoke
stage "valgrind memcheck" memcheck
stage "sanitizers (clang, ASan+UBSan)" sanitizers
stage "32-bit build and suite (-m32)" thirty_two_bit
stage "fuzzers (${fuzz_seconds} s each)" fuzzers
stage "Windows x64 (mingw-w64, wine64)" windows_x64
stage "Windows x86 (mingw-w64, 32-bit wine)" windows_x86
stage "the kit's packages (.deb, .tar.gz, Windows .zip), installed and used" packages

echo
[ ${#skipped[@]} -eq 0 ] || echo "SKIPPED stages (on purpose, see above): ${skipped[*]}"
if [ ${#failed[@]} -ne 0 ]; then
    echo "failed stages: ${failed[*]}"
    exit 1
fi
echo "all stages passed"
