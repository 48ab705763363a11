#!/usr/bin/env bash
# Builds everything and runs nelk-host's built-in demo: two Corvane panels on driver 12, slot 7.
# Extra arguments go to nelk-host (for example --json, or serve). The build shows its progress;
# the first one takes a few minutes on two cores, later ones only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
nelk_require_packages "${NELK_BUILD_PACKAGES[@]}"
echo "== configuring the build in build/" >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "== building (ninja shows each step: [done/all])" >&2
cmake --build build -j2 >&2
echo "== running build/bin/nelk-host $*" >&2
exec build/bin/nelk-host "$@"
