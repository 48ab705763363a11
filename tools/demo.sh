#!/usr/bin/env bash
# Builds everything and runs nelk-host's built-in demo: two Corvane panels on driver 12, slot 7.
# Extra arguments go to nelk-host (for example --json).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
nelk_require_packages "${NELK_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 >/dev/null
exec build/bin/nelk-host "$@"
