#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
nelk_require_packages "${NELK_BUILD_PACKAGES[@]}"

echo "== build and test (g++, warnings as errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNELK_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build -j2
ctest --test-dir build -j2 --output-on-failure
