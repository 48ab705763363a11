#!/usr/bin/env bash
# Runs every command of a guide's ```sh blocks, in order, as a reader would type them: in an
# empty folder, with PREFIX set to a fresh install of this build. `nelk-host serve` runs for a
# few seconds on a free port and must have served; everything else must end with status 0.
#   run_guide_commands.sh GUIDE BUILD_DIR WORK_DIR
set -euo pipefail
guide=$1 build=$2 work=$3
rm -rf "$work"
mkdir -p "$work/reader"
export PREFIX="$work/prefix"
cmake --install "$build" --prefix "$PREFIX" >/dev/null
export CMAKE_GENERATOR=Ninja HOME="$work"   # the prompt's history goes into the scratch folder

commands="$work/commands.sh"
awk '/^```sh$/ { inside = 1; next } /^```/ { inside = 0; next } inside { print }' "$guide" >"$commands"
[ -s "$commands" ] || { echo "no commands in $guide"; exit 1; }

# serve would run until Ctrl-C: it gets a free port and an interrupt after three seconds, and must
# have said where it served (with its token) and ended cleanly; what it printed is passed on.
nelk-host() {
    if [ "${1:-}" = serve ]; then
        shift
        local output status=0
        output=$(timeout --preserve-status -s INT 3 "$PREFIX/bin/nelk-host" serve --port 0 "$@" 2>&1) || status=$?
        echo "$output"
        echo "$output" | grep -qE "serving http://127\.0\.0\.1:[0-9]+/#token=[0-9a-f]{32}" || return 1
        return $status
    fi
    command nelk-host "$@"
}
export -f nelk-host

cd "$work/reader"
echo "== running $(grep -c . "$commands") command lines of $guide"
bash -euo pipefail -x "$commands"
echo "== every command of the guide ran"
