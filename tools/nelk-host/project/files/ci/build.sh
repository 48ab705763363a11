#!/usr/bin/env bash
# @Name@'s CI, the same on a workstation as on a CI runner (.github/workflows/ci.yml runs it):
# build and test on Linux; validate the library, with a JUnit report and a floor of protocol
# items exercised; cross-build the host's platform (windows-x86) and test it under the 32-bit
# Windows runner; pack it; validate the package itself; fuzz it (where clang is). The package and
# the reports end in ci-out/, a fuzzer's finding in build/fuzz/@name@_fuzz-findings.
#   NELK_PREFIX         the nelk_script_helper kit (default: the one that made this project)
#   NELK_COVERAGE_MIN   the floor of protocol items the validator must exercise (default 20)
#   NELK_FUZZ_SECONDS   how long the fuzz test fuzzes (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${NELK_PREFIX:-@prefix@}
export NELK_PREFIX=$prefix
nelk_host=$prefix/bin/nelk-host
out=$PWD/ci-out
rm -rf "$out" && mkdir -p "$out"

echo "== Linux: build, test, validate"
cmake --preset linux
cmake --build --preset linux
ctest --preset linux --output-junit "$out/ctest-linux.xml"
"$nelk_host" validate build/linux/lib@Name@.so --seed 1 --junit "$out/validate-linux.xml" \
    --protocol-coverage-min "${NELK_COVERAGE_MIN:-20}"

echo "== windows-x86, the host's platform: build, test, pack, validate the package"
cmake --preset windows-x86
cmake --build --preset windows-x86
ctest --preset windows-x86 --output-junit "$out/ctest-windows-x86.xml"
"$nelk_host" pack build/windows-x86 -o "$out"
"$nelk_host" validate "$out"/@Name@-*-x86.zip --seed 1 --junit "$out/validate-windows-x86.xml"

echo "== fuzz: coverage-guided, from the scenarios (clang's libFuzzer)"
if command -v clang++ >/dev/null; then
    cmake --preset fuzz
    cmake --build --preset fuzz
    ctest --preset fuzz --output-junit "$out/ctest-fuzz.xml"
else
    echo "-- SKIPPED: no clang++ here (Debian: apt-get install clang libclang-rt-14-dev); nothing was fuzzed"
fi
echo "== done: the package and the reports are in $out"
