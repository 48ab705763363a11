#!/usr/bin/env bash
# The kit's packages as an author installs them: the .tar.gz unpacked into a scratch prefix and the
# .deb installed with dpkg (as root; removed again at the end), and against each a fresh
# `nelk-host new` project built, tested, packed and validated for linux, windows-x86 (its tests
# under the kit's 32-bit runner, the package's battery by the kit's x86 nelk-host.exe) and
# windows-x64 (under wine64), with the project's own ci/build.sh, a deploy into a scratch host
# folder and its undo, and the generated workflow read.
#   kit_packages_test.sh DIST WORK [tgz|deb ...]
set -uo pipefail
dist=$(realpath "$1") work=$2
shift 2
kinds=("${@:-tgz}")
[ $# -gt 0 ] || kinds=(tgz deb)
rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work")
failed=()

# step NAME COMMAND...: runs one step, its output in the log; a failure is noted and shown.
step() {
    local name=$1 started=$SECONDS
    shift
    if "$@" >"$work/step.log" 2>&1; then
        echo "ok   $name ($((SECONDS - started)) s)"
        return 0
    fi
    echo "FAIL $name"
    tail -n 40 "$work/step.log" | sed 's/^/    /'
    failed+=("$name")
    return 1
}

# The presets of a project made by the kit at PREFIX, for one platform, and its package.
preset() {
    local project=$1 name=$2 prefix=$3
    (cd "$project" && NELK_PREFIX=$prefix cmake --preset "$name" && cmake --build --preset "$name" -j2 &&
        ctest --preset "$name" -j2 &&
        "$prefix/bin/nelk-host" pack "build/$name" -o "out/$name" &&
        "$prefix/bin/nelk-host" validate "out/$name"/Shipper-0.1.0-*.zip --seed 1)
}

# The generated workflow parses, and its steps run the project's own ci/build.sh.
workflow() {
    /usr/bin/python3 - "$1/.github/workflows/ci.yml" <<'PY'
import sys, yaml
document = yaml.safe_load(open(sys.argv[1]))
steps = document["jobs"]["build"]["steps"]
runs = [step.get("run", "") for step in steps]
assert any("ci/build.sh" in run for run in runs), runs
assert any(step.get("uses", "").startswith("actions/upload-artifact") for step in steps), steps
print("the workflow parses; its steps run ci/build.sh and upload", document["jobs"]["build"]["steps"][-1]["with"]["path"])
PY
}

# deploy and --undo into a scratch host folder leave it as it was.
deploy() {
    local prefix=$1 package=$2 host=$work/host-$3
    rm -rf "$host" && mkdir -p "$host/Components"
    "$prefix/bin/nelk-host" deploy "$package" --into "$host/Components" &&
        [ -f "$host/Components/Shipper/Shipper.dll" ] && [ -f "$host/Components/Shipper/shipper.nelk_ui" ] &&
        "$prefix/bin/nelk-host" deploy "$package" --into "$host/Components" --undo &&
        [ -z "$(ls -A "$host/Components")" ]
}

against() {
    local kind=$1 prefix=$2 project=$work/$1/Shipper
    mkdir -p "$work/$kind"
    step "$kind: nelk-host new Shipper" "$prefix/bin/nelk-host" new Shipper "$project" || return
    step "$kind: linux preset, tests, pack, validate" preset "$project" linux "$prefix"
    step "$kind: windows-x86 preset, tests under nelk-win32-run, pack, validate" preset "$project" windows-x86 "$prefix"
    step "$kind: windows-x64 preset, tests under wine64, pack, validate" preset "$project" windows-x64 "$prefix"
    step "$kind: deploy and undo" deploy "$prefix" "$project"/out/windows-x86/Shipper-0.1.0-x86.zip "$kind"
    step "$kind: the project's ci/build.sh" env NELK_PREFIX="$prefix" NELK_FUZZ_SECONDS=10 bash "$project/ci/build.sh"
    step "$kind: the generated workflow" workflow "$project"
}

for kind in "${kinds[@]}"; do
    case $kind in
    tgz)
        mkdir -p "$work/tgz-prefix"
        step "tgz: unpack" tar -xzf "$dist"/nelk-script-helper-*-linux-*.tar.gz -C "$work/tgz-prefix" --strip-components=1 &&
            against tgz "$work/tgz-prefix"
        ;;
    deb)
        if [ "$(id -u)" -ne 0 ]; then
            echo "SKIPPED deb: installing a .deb needs root"
            continue
        fi
        if dpkg-query -W -f='${Status}' nelk-script-helper 2>/dev/null | grep -q "ok installed"; then
            echo "FAIL deb: nelk-script-helper is installed on this machine already; not touching it"
            failed+=("deb")
            continue
        fi
        step "deb: dpkg -i" dpkg -i "$dist"/nelk-script-helper_*.deb && against deb /usr
        step "deb: dpkg -r" dpkg --purge nelk-script-helper
        ;;
    esac
done
[ ${#failed[@]} -eq 0 ] && echo "every step held" && exit 0
echo "failed: ${failed[*]}"
exit 1
